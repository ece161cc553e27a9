#include "console/key_state.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "auto_repeat.hpp"

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

// A player's key: down at at_ms for hold_ms.
struct Stroke {
    int code;
    std::uint64_t at_ms;
    std::uint64_t hold_ms;
};

using test::k_auto_repeat_profiles;
using test::RepeatProfile;

InputEvent key_event(int code, KeyAction action, std::uint64_t at) {
    InputEvent e;
    e.code = code;
    e.action = action;
    e.time_ms = at;
    return e;
}

// What a terminal sends for the strokes: a press, auto-repeats after the delay every interval
// until the key is let go or another key is pressed, and, when it reports them, the release.
std::vector<InputEvent> terminal_events(const std::vector<Stroke>& strokes, bool exact,
                                        RepeatProfile profile) {
    std::vector<InputEvent> events;
    for (const Stroke& stroke : strokes) {
        const std::uint64_t let_go = stroke.at_ms + stroke.hold_ms;
        std::uint64_t repeats_until = let_go;
        for (const Stroke& other : strokes) {
            if (other.code != stroke.code && other.at_ms > stroke.at_ms) {
                repeats_until = std::min(repeats_until, other.at_ms);
            }
        }
        events.push_back(key_event(stroke.code, KeyAction::press, stroke.at_ms));
        for (std::uint64_t t = stroke.at_ms + profile.delay_ms; t < repeats_until;
             t += profile.interval_ms) {
            events.push_back(
                key_event(stroke.code, exact ? KeyAction::repeat : KeyAction::press, t));
        }
        if (exact) {
            events.push_back(key_event(stroke.code, KeyAction::release, let_go));
        }
    }
    std::stable_sort(events.begin(), events.end(), [](const InputEvent& a, const InputEvent& b) {
        return a.time_ms < b.time_ms;
    });
    return events;
}

// The answer row's loop: every pass_ms it polls Right, Left and Space, in this order, taking
// the events that came as the console does. A step is a poll that reads its key down after
// the poll of that key before it read it up; the steps are spelt R, L and S.
std::string steps_read(const std::vector<InputEvent>& events, bool exact, std::uint64_t pass_ms,
                       std::uint64_t end_ms) {
    KeyStateTracker keys;
    keys.set_exact(exact);
    std::size_t next = 0;
    std::vector<InputEvent> pending;
    std::map<int, bool> was_down;
    std::string steps;
    for (std::uint64_t t = 0; t <= end_ms; t += pass_ms) {
        for (const auto& [code, letter] : {std::pair{39, 'R'}, {37, 'L'}, {32, 'S'}}) {
            for (; next < events.size() && events[next].time_ms <= t; ++next) {
                pending.push_back(events[next]);
            }
            std::size_t applied = 0;
            for (; applied < pending.size() && !keys.waits_behind_earlier_press(pending[applied]);
                 ++applied) {
                keys.apply(pending[applied]);
            }
            pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(applied));
            keys.settle(t);
            const bool down = keys.down(code);
            keys.note_read(code);
            if (down && !was_down[code]) {
                steps += letter;
            }
            was_down[code] = down;
        }
    }
    return steps;
}

// With releases, a second tap that comes before any poll of its key has read the first one up
// waits for a later poll; the game, asleep until a key comes, is woken for that poll, so the
// tap counts without a further key.
TEST(KeyStateExact, ATapWaitingBehindAReadReleaseWakesTheGameForItsPoll) {
    KeyStateTracker keys;
    keys.set_exact(true);
    EXPECT_TRUE(poll(keys, 10, {event(KeyAction::press, 5), event(KeyAction::release, 8)}));
    keys.settle(20);  // a poll of another key: Space goes up unread
    EXPECT_FALSE(poll(keys, 52, {event(KeyAction::press, 50), event(KeyAction::release, 51)}));
    const std::uint64_t due = keys.next_decision_ms(52);
    EXPECT_GT(due, 52U);
    EXPECT_LE(due, 20 + k_inferred_release_ms);
    EXPECT_TRUE(poll(keys, due));
}

TEST(KeyState, EveryPressCountsOnceInTheOrderItCame) {
    struct Case {
        std::string what;
        std::vector<Stroke> strokes;
        std::string steps;
        // With releases, a press that is let go and pressed again before a poll of its key has
        // read it reads as one press held on: polls 50 ms apart read such taps as fewer steps.
        bool exact_slow_polls = true;
    };
    std::vector<Case> cases{
        {"a hold of 1.5 s", {{39, 0, 1500}}, "R"},
        {"three taps 50 ms apart", {{39, 0, 30}, {39, 50, 30}, {39, 100, 30}}, "RRR", false},
        {"Right, then Left while Right is held", {{39, 0, 800}, {37, 600, 30}}, "RL"},
        {"Right then Left at once", {{39, 0, 30}, {37, 0, 30}}, "RL"},
        {"Space then Right at once: the arrow moves first", {{32, 0, 30}, {39, 0, 30}}, "RS"},
        {"Right then Space at once", {{39, 0, 30}, {32, 0, 30}}, "RS"},
    };
    for (const std::uint64_t gap : {40, 60, 90, 130, 200, 300, 600}) {
        cases.push_back(
            {"two taps " + std::to_string(gap) + " ms apart", {{39, 0, 30}, {39, gap, 30}}, "RR"});
    }
    for (const std::uint64_t gap : {0, 10, 20}) {
        cases.push_back({"Left, then Right " + std::to_string(gap) + " ms later",
                         {{37, 100, 30}, {39, 100 + gap, 30}},
                         "LR"});
    }
    for (const Case& c : cases) {
        for (const bool exact : {false, true}) {
            for (const RepeatProfile profile : k_auto_repeat_profiles) {
                for (const std::uint64_t pass : {10, 50}) {
                    if (exact && pass == 50 && !c.exact_slow_polls) {
                        continue;
                    }
                    SCOPED_TRACE(c.what + (exact ? ", exact" : ", inferred") + ", repeat " +
                                 std::to_string(profile.delay_ms) + "/" +
                                 std::to_string(profile.interval_ms) + ", polls every " +
                                 std::to_string(pass) + " ms");
                    EXPECT_EQ(
                        steps_read(terminal_events(c.strokes, exact, profile), exact, pass, 3000),
                        c.steps);
                }
            }
        }
    }
}

TEST(KeyState, AScreenThatEndsDropsThePressesItDidNotRead) {
    for (const bool exact : {false, true}) {
        SCOPED_TRACE(exact ? "exact" : "inferred");
        KeyStateTracker keys;
        keys.set_exact(exact);
        // Right tapped, then Space held, on a screen that reads only Space.
        keys.apply(key_event(39, KeyAction::press, 0));
        keys.apply(key_event(39, KeyAction::release, 30));
        keys.settle(40);
        keys.apply(key_event(32, KeyAction::press, 50));
        keys.settle(60);
        keys.note_read(32);
        EXPECT_TRUE(keys.down(32));
        keys.drop_unread();
        // The next screen: Right is up, and Space stays down as long as it is held.
        keys.settle(70);
        keys.note_read(39);
        EXPECT_FALSE(keys.down(39));
        EXPECT_TRUE(keys.down(32));
        // A press on the new screen counts.
        keys.apply(key_event(39, KeyAction::press, 300));
        keys.settle(300);
        EXPECT_TRUE(keys.down(39));
    }
}

}  // namespace
}  // namespace kal
