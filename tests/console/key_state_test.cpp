#include "console/key_state.hpp"

#include <gtest/gtest.h>

namespace kal {
namespace {

constexpr int space = 32;

InputEvent event(KeyAction action, std::uint64_t at) {
    InputEvent e;
    e.code = space;
    e.action = action;
    e.time_ms = at;
    return e;
}

// A poll of Space at at_ms after applying the events that arrived since the last poll.
bool poll(KeyStateTracker& keys, std::uint64_t at_ms,
          std::initializer_list<InputEvent> events = {}) {
    for (const InputEvent& e : events) {
        keys.apply(e);
    }
    keys.settle(at_ms);
    keys.note_read(space);
    return keys.down(space);
}

TEST(KeyStateExact, FollowsPressAndReleaseAndIgnoresRepeats) {
    KeyStateTracker keys;
    keys.set_exact(true);
    EXPECT_TRUE(poll(keys, 10, {event(KeyAction::press, 5)}));
    EXPECT_TRUE(poll(keys, 5000, {event(KeyAction::repeat, 600)}));
    EXPECT_FALSE(poll(keys, 5010, {event(KeyAction::release, 5005)}));
}

TEST(KeyStateExact, ATapBetweenTwoPollsReadsDownOnTheFirstAndUpOnTheNext) {
    KeyStateTracker keys;
    keys.set_exact(true);
    EXPECT_TRUE(poll(keys, 6000, {event(KeyAction::press, 5500), event(KeyAction::release, 5550)}));
    EXPECT_FALSE(poll(keys, 6100));
    // Tapped again before the poll that sees the release: down on both polls.
    EXPECT_TRUE(poll(keys, 7000, {event(KeyAction::press, 6900), event(KeyAction::release, 6950)}));
    EXPECT_TRUE(poll(keys, 7100, {event(KeyAction::press, 7050)}));
    EXPECT_TRUE(poll(keys, 7200));
    EXPECT_FALSE(poll(keys, 7300, {event(KeyAction::release, 7250)}));
}

TEST(KeyStateInferred, ATapReadsDownOnThePollAfterItAndUpOnceSilent) {
    KeyStateTracker keys;
    EXPECT_TRUE(poll(keys, 100 + k_inferred_release_ms - 1, {event(KeyAction::press, 100)}));
    EXPECT_TRUE(poll(keys, 100 + k_inferred_release_ms - 1));
    EXPECT_FALSE(poll(keys, 100 + k_inferred_release_ms));
}

TEST(KeyStateInferred, APressOlderThanTheGapAtItsFirstPollWasNeverSeenHeld) {
    KeyStateTracker keys;
    EXPECT_FALSE(poll(keys, 3000, {event(KeyAction::press, 100)}));
}

TEST(KeyStateInferred, TwoTapsReadAsTwoPressesEvenWhenPolledSlowly) {
    KeyStateTracker keys;
    // Taps 150 ms apart, polled every 50 ms: down, up, down again.
    std::vector<bool> seen;
    seen.push_back(poll(keys, 0, {event(KeyAction::press, 0)}));
    seen.push_back(poll(keys, 50));
    seen.push_back(poll(keys, 100));
    seen.push_back(poll(keys, 150, {event(KeyAction::press, 150)}));
    seen.push_back(poll(keys, 200));
    seen.push_back(poll(keys, 250));
    seen.push_back(poll(keys, 300));
    EXPECT_EQ(seen, (std::vector<bool>{true, true, true, false, true, true, false}));
}

TEST(KeyStateInferred, AHeldKeyStaysDownOnceAutoRepeatRuns) {
    KeyStateTracker keys;
    EXPECT_TRUE(poll(keys, 0, {event(KeyAction::press, 0)}));
    // Before the first auto-repeat the key reads up for a while: at most one extra press.
    EXPECT_FALSE(poll(keys, 300));
    int presses = 0;
    bool was_down = false;
    for (std::uint64_t t = 500; t < 3000; t += 10) {
        const bool repeat_due = (t - 500) % 40 == 0;
        const bool down = repeat_due ? poll(keys, t, {event(KeyAction::press, t)}) : poll(keys, t);
        EXPECT_TRUE(down) << t;
        presses += (down && !was_down) ? 1 : 0;
        was_down = down;
    }
    EXPECT_EQ(presses, 1);
    EXPECT_FALSE(poll(keys, 3000 + k_inferred_release_ms));
}

TEST(KeyStateInferred, TheSlowestAutoRepeatKeepsTheKeyDown) {
    KeyStateTracker keys;
    poll(keys, 0, {event(KeyAction::press, 0)});
    for (std::uint64_t t = 0; t < 2000; t += 92) {
        EXPECT_TRUE(poll(keys, t + 91, {event(KeyAction::press, t)})) << t;
    }
}

}  // namespace
}  // namespace kal
