#pragma once

// Key state from key events, the one place where the rules of reading a key live:
// - a press that no poll of its key has read is read once, in order with the other keys;
// - a hold reads down once: a held key never reads as a second press;
// - a release reads up;
// - when a screen ends, the presses it did not read are dropped.
// With the kitty keyboard protocol and on the system console the terminal reports releases and
// the state is exact. Other terminals send one character per press and per auto-repeat, and
// the release, and whether a character is a new press or a repeat, are inferred from timing.

#include <array>
#include <cstdint>

#include "console/key_decoder.hpp"

namespace kal {

// Without releases, a key's characters say which is a press and which an auto-repeat:
// - The first auto-repeat never comes sooner than the repeat delay after the press: 200 ms is
//   the least any desktop offers, 250-660 ms the common settings, 1000 ms the longest usual.
//   A second character sooner than this after the first is a second tap.
inline constexpr std::uint64_t k_min_repeat_delay_ms = 200;
// - Once running, auto-repeat sends a character every 16-100 ms (X and sway 40 ms, GNOME 30,
//   the Linux console about 92, the slowest setting 100). A character that came at least the
//   repeat delay after the one before is a tap or the first repeat of a hold: a repeat follows
//   it within this time when it is a hold, and none does when it was a tap. It is decided as
//   soon as the next character comes, or after this time at the latest.
inline constexpr std::uint64_t k_max_repeat_interval_ms = 110;
// - A terminal stops repeating a key when another key is pressed, so a different key ends any
//   repeat at once: the key is up, its next character is a new press, and the other key never
//   waits for the decision.
// - A press that a poll has read reads down until its key has sent nothing for this long, about
//   as long as a tap lasts; then it reads up, and the auto-repeats of a hold keep it up: a hold
//   is one step. A press that no poll saw within this time was pressed and let go while the
//   game was not reading keys. Every loop of the game that reads keys polls more often.
inline constexpr std::uint64_t k_inferred_release_ms = 120;

// How long a press that a poll has seen stays down for the poll of its own key, when the game
// was asking for another key meanwhile and the terminal reported the key's release.
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
    // first. An arrow never waits behind Space: Space confirms where the cursor stands, so an
    // arrow pressed together with it moves the cursor first, whichever came first.
    [[nodiscard]] bool waits_behind_earlier_press(const InputEvent& event) const;
    // Applies one key event; keys other than Space, Left and Right are not tracked.
    void apply(const InputEvent& event);
    // Brings the state up to the poll at now_ms. A key changes at most once per poll, and a
    // second press of a key that reads down shows only after a poll of that key has read it up,
    // so two taps never melt into one.
    void settle(std::uint64_t now_ms);
    [[nodiscard]] bool down(int code) const;
    // Whether the key is one of those tracked here: Space, Left and Right.
    [[nodiscard]] static bool tracks(int code);
    // The game has read the key at this poll.
    void note_read(int code);
    // When, after now_ms, a character that is a tap or the first repeat of a hold is decided
    // at the latest; the largest time when none waits.
    [[nodiscard]] std::uint64_t next_decision_ms(std::uint64_t now_ms) const;
    // A screen ended: the presses it did not read are gone. A key it read that is still held
    // stays down, as it is.
    void drop_unread();

private:
    // What the characters of a key have shown so far, without releases.
    enum class Run : std::uint8_t {
        none,       // the next character is a new press
        pressed,    // a press, and no repeat yet
        deciding,   // a character that is a tap or the first repeat, decided by what follows
        repeating,  // the key is held and auto-repeats
    };
    struct Key {
        bool down = false;
        bool seen = false;             // a poll has had the key down since its press
        bool read = false;             // a poll of this key has read it down since its press
        bool pressed = false;          // the key went down in the events of this poll
        bool release_waiting = false;  // a release that came before its key was read
        std::uint64_t pressed_ms = 0;
        std::uint64_t up_ms = 0;
        bool up_unread = false;         // it went up after a read, and no poll of it read it up
        int presses_waiting = 0;        // presses that show once it has been read up
        bool waiting_released = false;  // with releases: the waiting press was let go
        // Without releases only:
        Run run = Run::none;
        bool let_go = false;  // another key ended the key's run: it is up once read
        std::uint64_t last_event_ms = 0;
    };
    static constexpr std::array<int, 3> k_tracked{32, 37, 39};

    Key* find(int code);
    [[nodiscard]] const Key* find(int code) const;
    void apply_exact(Key& key, const InputEvent& event);
    void apply_inferred(Key& key, const InputEvent& event);
    void end_other_runs(const Key& own, std::uint64_t now_ms);
    static void decide_run(Key& key, std::uint64_t now_ms);
    static void add_press(Key& key, std::uint64_t at_ms);
    static void went_up(Key& key, std::uint64_t at_ms);
    [[nodiscard]] static bool shows_up_first(const Key& key, std::uint64_t at_ms);
    void settle_exact(std::uint64_t now_ms);
    static void settle_inferred(Key& key, std::uint64_t now_ms);

    bool exact_ = false;
    std::array<Key, k_tracked.size()> keys_{};
};

}  // namespace kal
