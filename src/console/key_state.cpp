#include "console/key_state.hpp"

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

bool KeyStateTracker::down(int code) const {
    const Key* key = find(code);
    return key != nullptr && key->down;
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
        key->seen = key->down && key->seen;
        key->down = true;
        key->release_waiting = false;
    } else if (event.action == KeyAction::release && key->down) {
        // A tap shorter than the time between two polls still reads down on one of them.
        if (key->seen) {
            key->down = false;
        } else {
            key->release_waiting = true;
        }
    }
}

void KeyStateTracker::apply_inferred(Key& key, const InputEvent& event) {
    const bool silent_long_enough = event.time_ms - key.last_event_ms >= k_inferred_release_ms;
    if (key.press_waiting) {
        key.last_event_ms = event.time_ms;
    } else if (!key.down) {
        key.down = true;
        key.seen = false;
        key.changed = true;
        key.last_event_ms = event.time_ms;
    } else if (silent_long_enough && key.seen && !key.changed) {
        // The key went up in the silence before this press: the poll sees the release first.
        key.down = false;
        key.changed = true;
        key.press_waiting = true;
        key.last_event_ms = event.time_ms;
    } else {
        key.last_event_ms = event.time_ms;
    }
}

void KeyStateTracker::settle(std::uint64_t now_ms) {
    if (exact_) {
        settle_exact();
        return;
    }
    for (Key& key : keys_) {
        const bool stale = now_ms - key.last_event_ms >= k_inferred_release_ms;
        if (!key.changed) {
            if (key.press_waiting) {
                key.press_waiting = false;
                key.down = !stale;
                key.seen = false;
            } else if (key.down && (key.seen || stale)) {
                key.down = !stale;
            }
        } else if (key.down && !key.seen && stale) {
            // Pressed and let go long before this poll, while nobody was looking.
            key.down = false;
        }
        key.changed = false;
        key.seen = key.seen || key.down;
        if (!key.down) {
            key.seen = false;
        }
    }
}

void KeyStateTracker::settle_exact() {
    for (Key& key : keys_) {
        if (key.release_waiting && key.seen) {
            key.down = false;
            key.release_waiting = false;
        }
        key.seen = key.down;
    }
}

}  // namespace kal
