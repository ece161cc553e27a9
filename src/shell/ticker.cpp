#include "shell/ticker.hpp"

#include "console/console.hpp"

namespace kal {

Ticker::Ticker() : last_end_(console.now()) {}

void Ticker::restart() {
    last_end_ = console.now();
}

void Ticker::wait(std::uint64_t ms) {
    wait_for_tick(ms, false);
}

void Ticker::wait_or_key(std::uint64_t ms) {
    wait_for_tick(ms, true);
}

void Ticker::wait_for_tick(std::uint64_t ms, bool key_ends_wait) {
    const std::uint64_t deadline = last_end_ + ms;
    std::uint64_t now = console.now();
    if (now >= deadline) {
        last_end_ = now;
        return;
    }
    while (now < deadline) {
        if (console.idle_until(deadline) && key_ends_wait) {
            return;
        }
        now = console.now();
    }
    last_end_ = deadline;
}

}  // namespace kal
