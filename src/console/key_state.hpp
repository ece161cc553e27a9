#pragma once

// Key state from key events. With the kitty keyboard protocol the terminal reports releases
// and the state is exact. Other terminals only send a character per press and per auto-repeat,
// so a release is inferred when a key has sent nothing for a while.

#include <array>
#include <cstdint>

#include "console/key_decoder.hpp"

namespace kal {

// How long a key stays down after its last press or auto-repeat when the terminal reports no
// releases. It must be longer than the slowest common auto-repeat interval, so that a held key
// reads down without a gap once auto-repeat runs: X and sway repeat every 40 ms, GNOME every
// 30 ms, the Linux console about every 92 ms. It must be short enough that quick separate taps
// (about 150 ms apart) read as separate presses. Before auto-repeat begins (250-660 ms after
// the press) the key reads up for a moment, which costs at most one extra step.
inline constexpr std::uint64_t k_inferred_release_ms = 120;

// How long a press that a poll has seen stays down for the poll of its own key, when the game
// was asking for another key meanwhile. Keys pressed together (an arrow and Space) arrive
// within a few milliseconds, and the game reads the second only once it has seen the first
// let go: without releases from the terminal that is k_inferred_release_ms later, so this must
// be longer. A press older than this was meant for a screen that did not ask for its key.
inline constexpr std::uint64_t k_unread_press_ms = 2 * k_inferred_release_ms;

class KeyStateTracker {
public:
    // Exact state from press and release events (kitty), or releases inferred from silence.
    void set_exact(bool exact) { exact_ = exact; }
    [[nodiscard]] bool exact() const { return exact_; }
    void reset();

    // Keys that arrive together count in the order they came: a press that came after
    // another key's press, which no poll of its own key has read yet, waits for the next poll.
    // Applying it would let the game, which tests its keys in a fixed order, take the later key
    // first.
    [[nodiscard]] bool waits_behind_earlier_press(const InputEvent& event) const;
    // Applies one key event; keys other than Space, Left and Right are not tracked.
    void apply(const InputEvent& event);
    // Brings the state up to the poll at now_ms and tells whether the key reads down.
    // An inferred press reads down on at least one poll that comes within
    // k_inferred_release_ms of it (every key loop of the game polls more often than that),
    // and a key changes at most once per poll, so two taps never melt into one. A press that
    // a poll has seen stays down until a poll of its own key has read it, for at most
    // k_unread_press_ms: an arrow and Space pressed together both count.
    void settle(std::uint64_t now_ms);
    [[nodiscard]] bool down(int code) const;
    // Whether the key is one of those tracked here: Space, Left and Right.
    [[nodiscard]] static bool tracks(int code);
    // The game has read the key at this poll.
    void note_read(int code);

private:
    struct Key {
        bool down = false;
        bool seen = false;             // a poll has had the key down since its press
        bool read = false;             // a poll of this key has read it down since its press
        bool changed = false;          // the key changed in the events of this poll
        bool pressed = false;          // the key went down in the events of this poll
        bool press_waiting = false;    // a press after an inferred release, for the next poll
        bool release_waiting = false;  // a release that came before its key was read
        std::uint64_t last_event_ms = 0;
        std::uint64_t pressed_ms = 0;
    };
    static constexpr std::array<int, 3> k_tracked{32, 37, 39};

    Key* find(int code);
    [[nodiscard]] const Key* find(int code) const;
    void apply_inferred(Key& key, const InputEvent& event);
    void settle_exact(std::uint64_t now_ms);

    bool exact_ = false;
    std::array<Key, k_tracked.size()> keys_{};
};

}  // namespace kal
