#include "console/key_state.hpp"

#include <algorithm>

namespace kal {

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
    if (key != nullptr && key->down) {
        key->read = true;
    }
}

bool KeyStateTracker::waits_behind_earlier_press(const InputEvent& event) const {
    if (event.kind != InputEvent::Kind::key || event.action != KeyAction::press) {
        return false;
    }
    const Key* own = find(event.code);
    return own != nullptr && std::any_of(keys_.begin(), keys_.end(), [own](const Key& key) {
               return &key != own && key.pressed;
           });
}

void KeyStateTracker::apply(const InputEvent& event) {
    Key* key = find(event.code);
    if (key == nullptr || event.kind != InputEvent::Kind::key) {
        return;
    }
    if (!exact_) {
        apply_inferred(*key, event);
        return;
    }
    if (event.action == KeyAction::press) {
        if (!key->down) {
            key->pressed = true;
            key->pressed_ms = event.time_ms;
        }
        key->seen = key->down && key->seen;
        key->read = key->down && key->read;
        key->down = true;
        key->release_waiting = false;
    } else if (event.action == KeyAction::release && key->down) {
        // A tap shorter than the time between two polls still reads down for the poll of its
        // key, and so does a key let go while the game was reading another one.
        const bool long_unread = key->seen && event.time_ms - key->pressed_ms >= k_unread_press_ms;
        if (key->read || long_unread) {
            key->down = false;
        } else {
            key->release_waiting = true;
        }
    }
}

void KeyStateTracker::apply_inferred(Key& key, const InputEvent& event) {
    const bool silent_long_enough = event.time_ms - key.last_event_ms >= k_inferred_release_ms;
    key.last_event_ms = event.time_ms;
    if (key.press_waiting) {
        return;  // a press already waits behind a release: the event only keeps the key alive
    }
    if (!key.down) {
        key.down = true;
        key.seen = false;
        key.read = false;
        key.changed = true;
        key.pressed = true;
    } else if (silent_long_enough && key.seen && !key.changed) {
        // The key went up in the silence before this press: the poll sees the release first.
        key.down = false;
        key.changed = true;
        key.pressed = true;
        key.press_waiting = true;
    }
}

void KeyStateTracker::settle(std::uint64_t now_ms) {
    if (exact_) {
        settle_exact(now_ms);
        return;
    }
    for (Key& key : keys_) {
        const std::uint64_t quiet = now_ms - key.last_event_ms;
        const bool stale = quiet >= k_inferred_release_ms;
        if (!key.changed) {
            if (key.press_waiting) {
                key.press_waiting = false;
                key.down = !stale;
                key.seen = false;
                key.read = false;
            } else if (key.down) {
                key.down = quiet < (key.read ? k_inferred_release_ms : k_unread_press_ms);
            }
        } else if (key.down && !key.seen && stale) {
            // Pressed and let go long before this poll, while nobody was looking.
            key.down = false;
        }
        key.changed = false;
        key.pressed = false;
        key.seen = key.seen || key.down;
        if (!key.down) {
            key.seen = false;
            key.read = false;
        }
    }
}

void KeyStateTracker::settle_exact(std::uint64_t now_ms) {
    for (Key& key : keys_) {
        const bool long_unread = key.seen && now_ms - key.pressed_ms >= k_unread_press_ms;
        if (key.release_waiting && (key.read || long_unread)) {
            key.down = false;
            key.release_waiting = false;
        }
        key.pressed = false;
        key.seen = key.down;
        if (!key.down) {
            key.read = false;
        }
    }
}

}  // namespace kal
