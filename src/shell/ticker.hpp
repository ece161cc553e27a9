#pragma once

// A run of ticks kept on their deadlines: each tick ends a set time after the previous one
// ended, whatever the drawing in it took, so that slow output (Wine's console, a slow terminal)
// never slows the game. The scroll of a question, the countdown's steps and the readout's
// passes run on one.

#include <cstdint>

namespace kal {

class Ticker {
public:
    // The first tick counts from now.
    Ticker();

    // The next tick counts from now, as after a pause of the run's own.
    void restart();
    // Waits until ms after the previous tick ended, with nothing the game drew held back. A
    // tick that has already overrun that ends at once, and the next counts from then: time
    // lost is not made up in a burst of ticks.
    void wait(std::uint64_t ms);
    // The same, but a key or the mouse ends the wait early so that the game answers it at
    // once; the tick is not over then, and the next wait goes on to the same deadline.
    void wait_or_key(std::uint64_t ms);

private:
    void wait_for_tick(std::uint64_t ms, bool key_ends_wait);

    std::uint64_t last_end_;
};

}  // namespace kal
