#include "console/key_state.hpp"

#include <algorithm>
#include <limits>

namespace kal {
namespace {

constexpr int k_space = 32;

}  // namespace

void KeyStateTracker::reset() {
    keys_ = {};
}

KeyStateTracker::Key* KeyStateTracker::find(int code) {
    for (std::size_t i = 0; i < k_tracked.size(); ++i) {
        if (k_tracked[i] == code) {
            return &keys_[i];
        }
    }
    return nullptr;
}

const KeyStateTracker::Key* KeyStateTracker::find(int code) const {
    return const_cast<KeyStateTracker*>(this)->find(code);
}

bool KeyStateTracker::tracks(int code) {
    return std::find(k_tracked.begin(), k_tracked.end(), code) != k_tracked.end();
}

bool KeyStateTracker::down(int code) const {
    const Key* key = find(code);
    return key != nullptr && key->down;
}

void KeyStateTracker::note_read(int code) {
    Key* key = find(code);
    if (key == nullptr) {
        return;
    }
    if (key->down) {
        key->read = true;
    } else {
        key->up_unread = false;
    }
}

bool KeyStateTracker::waits_behind_earlier_press(const InputEvent& event) const {
    if (event.kind != InputEvent::Kind::key || event.action != KeyAction::press) {
        return false;
    }
    const Key* own = find(event.code);
    if (own == nullptr) {
        return false;
    }
    const Key* space = find(k_space);
    const bool arrow = own != space;
    return std::any_of(keys_.begin(), keys_.end(), [own, space, arrow](const Key& key) {
        return &key != own && key.pressed && !(arrow && &key == space);
    });
}

void KeyStateTracker::apply(const InputEvent& event) {
    Key* key = find(event.code);
    if (key == nullptr || event.kind != InputEvent::Kind::key) {
        return;
    }
    if (exact_) {
        apply_exact(*key, event);
    } else {
        apply_inferred(*key, event);
    }
}

void KeyStateTracker::apply_exact(Key& key, const InputEvent& event) {
    // A key tapped again before a poll of it has read it up: the presses and their releases
    // wait for that poll.
    if (key.presses_waiting > 0 || (!key.down && shows_up_first(key, event.time_ms))) {
        if (event.action == KeyAction::press) {
            key.pressed = true;
            ++key.presses_waiting;
            key.waiting_released = false;
        } else if (event.action == KeyAction::release) {
            key.waiting_released = true;
        }
        return;
    }
    if (event.action == KeyAction::press) {
        if (!key.down) {
            key.pressed = true;
            key.pressed_ms = event.time_ms;
        }
        key.seen = key.down && key.seen;
        key.read = key.down && key.read;
        key.down = true;
        key.release_waiting = false;
    } else if (event.action == KeyAction::release && key.down) {
        // A tap shorter than the time between two polls still reads down for the poll of its
        // key, and so does a key let go while the game was reading another one.
        const bool long_unread = key.seen && event.time_ms - key.pressed_ms >= k_unread_press_ms;
        if (key.read || long_unread) {
            key.down = false;
            went_up(key, event.time_ms);
        } else {
            key.release_waiting = true;
        }
    }
}

void KeyStateTracker::apply_inferred(Key& key, const InputEvent& event) {
    const std::uint64_t at = event.time_ms;
    end_other_runs(key, at);
    decide_run(key, at);
    if (event.action == KeyAction::release) {
        key.let_go = key.run != Run::none;
        key.run = Run::none;
        return;
    }
    switch (key.run) {
        case Run::none:
            add_press(key, at);
            key.run = Run::pressed;
            break;
        case Run::pressed:
            if (at - key.last_event_ms < k_min_repeat_delay_ms) {
                add_press(key, at);  // too soon for an auto-repeat: a second tap
            } else {
                key.run = Run::deciding;
            }
            break;
        case Run::deciding:
            key.run = Run::repeating;  // a repeat followed: the key is held, no new press
            break;
        case Run::repeating:
            break;
    }
    key.last_event_ms = at;
}

// A character of one key stops the auto-repeat of every other. A character that waited to be
// told a tap from a repeat is a tap then: no repeat of it can follow any more.
void KeyStateTracker::end_other_runs(const Key& own, std::uint64_t now_ms) {
    for (Key& key : keys_) {
        if (&key == &own) {
            continue;
        }
        decide_run(key, now_ms);
        if (key.run == Run::deciding) {
            add_press(key, now_ms);
        }
        if (key.run != Run::none) {
            key.run = Run::none;
            key.let_go = true;
        }
    }
}

// A character followed by no repeat within the longest interval was a tap; repeats that stop
// for as long mean the key was let go.
void KeyStateTracker::decide_run(Key& key, std::uint64_t now_ms) {
    if (now_ms - key.last_event_ms < k_max_repeat_interval_ms) {
        return;
    }
    if (key.run == Run::deciding) {
        add_press(key, now_ms);
        key.run = Run::pressed;
    } else if (key.run == Run::repeating) {
        key.run = Run::none;
    }
}

void KeyStateTracker::went_up(Key& key, std::uint64_t at_ms) {
    key.up_unread = key.read;
    key.up_ms = at_ms;
}

// Every loop of the game that reads a key polls it more often than k_inferred_release_ms, so a
// press that comes sooner after the key went up from a read waits until a poll of the key has
// read it up: two taps never melt into one. A later one finds the game not reading the key.
bool KeyStateTracker::shows_up_first(const Key& key, std::uint64_t at_ms) {
    return key.up_unread && at_ms - key.up_ms < k_inferred_release_ms;
}

// A press reads down at once when the key reads up and a poll of it has seen that; otherwise
// it waits until one has.
void KeyStateTracker::add_press(Key& key, std::uint64_t at_ms) {
    key.pressed = true;
    key.let_go = false;
    if (!key.down && !shows_up_first(key, at_ms)) {
        key.down = true;
        key.seen = false;
        key.read = false;
        key.pressed_ms = at_ms;
    } else {
        ++key.presses_waiting;
    }
}

void KeyStateTracker::settle(std::uint64_t now_ms) {
    if (exact_) {
        settle_exact(now_ms);
        return;
    }
    for (Key& key : keys_) {
        settle_inferred(key, now_ms);
    }
}

void KeyStateTracker::settle_inferred(Key& key, std::uint64_t now_ms) {
    decide_run(key, now_ms);
    if (key.down) {
        const bool quiet = now_ms - key.last_event_ms >= k_inferred_release_ms;
        const bool over = key.let_go || key.presses_waiting > 0 || quiet;
        // Pressed and let go long before this poll, while nobody was looking.
        const bool missed = !key.seen && now_ms - key.pressed_ms >= k_inferred_release_ms;
        if ((key.read && over) || missed) {
            key.down = false;
            went_up(key, now_ms);
        }
    } else if (key.presses_waiting > 0 && !shows_up_first(key, now_ms) && !key.pressed) {
        --key.presses_waiting;
        key.down = true;
        key.read = false;
        key.pressed_ms = now_ms;
    }
    key.pressed = false;
    key.seen = key.down;
    if (!key.down) {
        key.read = false;
        key.let_go = false;
    }
}

void KeyStateTracker::settle_exact(std::uint64_t now_ms) {
    for (Key& key : keys_) {
        const bool long_unread = key.seen && now_ms - key.pressed_ms >= k_unread_press_ms;
        if (key.release_waiting && (key.read || long_unread)) {
            key.down = false;
            key.release_waiting = false;
            went_up(key, now_ms);
        } else if (!key.down && key.presses_waiting > 0 && !shows_up_first(key, now_ms) &&
                   !key.pressed) {
            --key.presses_waiting;
            key.down = true;
            key.read = false;
            key.release_waiting = key.presses_waiting > 0 || key.waiting_released;
            key.pressed_ms = now_ms;
        }
        key.pressed = false;
        key.seen = key.down;
        if (!key.down) {
            key.read = false;
        }
    }
}

// A press that waits behind a read release is due once the key may read down again, and it
// is taken at a poll after the one that saw it come: the game, asleep until a key or its
// deadline, must poll then even when no further key comes.
std::uint64_t KeyStateTracker::next_decision_ms(std::uint64_t now_ms) const {
    std::uint64_t next = std::numeric_limits<std::uint64_t>::max();
    for (const Key& key : keys_) {
        const std::uint64_t due = key.last_event_ms + k_max_repeat_interval_ms;
        if (key.run == Run::deciding && due > now_ms) {
            next = std::min(next, due);
        }
        if (key.presses_waiting > 0) {
            const std::uint64_t free_at = key.up_unread ? key.up_ms + k_inferred_release_ms : 0;
            next = std::min(next, std::max(free_at, now_ms + 1));
        }
    }
    return next;
}

// A character that waited to be told a tap from a repeat goes too: should repeats follow it,
// they belong to a hold whose press was dropped.
void KeyStateTracker::drop_unread() {
    for (Key& key : keys_) {
        if (key.down && !key.read) {
            key.down = false;
            key.seen = false;
            key.release_waiting = false;
        }
        key.waiting_released = false;
        if (key.run == Run::deciding) {
            key.run = Run::repeating;
        }
        key.pressed = false;
        key.up_unread = false;
        key.presses_waiting = 0;
    }
}

}  // namespace kal
