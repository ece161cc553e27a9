#include "shell/ticker.hpp"

#include "console/console.hpp"

namespace kal {

Ticker::Ticker() : last_end_(console.now()) {}

void Ticker::restart() {
    last_end_ = console.now();
}

void Ticker::wait(std::uint64_t ms) {
    const std::uint64_t deadline = last_end_ + ms;
    std::uint64_t now = console.now();
    if (now >= deadline) {
        last_end_ = now;
        return;
    }
    while (now < deadline) {
        console.idle_until(deadline);
        now = console.now();
    }
    last_end_ = deadline;
}

}  // namespace kal
