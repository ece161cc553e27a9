// What the console sends to the terminal for a frame: a move or a colour only where a character
// needs it, one write however the frame was drawn.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "game_fixture.hpp"
#include "play/answer.hpp"
#include "play/play_state.hpp"
#include "play/question_table.hpp"
#include "play/scrolling_question.hpp"
#include "shell/countdown.hpp"
#include "shell/music.hpp"

namespace kal::test {
namespace {

class ConsoleOutputTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        console.set_cursor(false, 0);
        console.color(0, 15);
        console.cls(16, 16);
        console.flush();
    }

    // The bytes the console writes for what call draws, flushed.
    template <typename Call>
    std::string bytes_of(Call call) {
        const std::size_t before = sim.written.size();
        call();
        console.flush();
        return sim.written.substr(before);
    }
};

int count_of(const std::string& bytes, char final_byte) {
    int count = 0;
    for (std::size_t pos = bytes.find("\x1b["); pos != std::string::npos;
         pos = bytes.find("\x1b[", pos + 2)) {
        const std::size_t end = bytes.find_first_of("ABCDEFGHJKSTfmhlnu", pos + 2);
        count += end != std::string::npos && bytes[end] == final_byte ? 1 : 0;
    }
    return count;
}

// The last control sequence with that final byte.
std::string last_sequence(const std::string& bytes, char final_byte) {
    std::string last;
    for (std::size_t pos = bytes.find("\x1b["); pos != std::string::npos;
         pos = bytes.find("\x1b[", pos + 2)) {
        const std::size_t end = bytes.find_first_of("ABCDEFGHJKSTfmhlnu", pos + 2);
        if (end != std::string::npos && bytes[end] == final_byte) {
            last = bytes.substr(pos, end + 1 - pos);
        }
    }
    return last;
}

TEST_F(ConsoleOutputTest, ColoursSetAgainBeforeAnythingIsDrawnInThemAreSentOnce) {
    const std::string bytes = bytes_of([] {
        console.color(9, 15);
        console.color(15, 1);
        console.locate(1, 10);
        console.print(" ");
    });
    EXPECT_EQ(bytes, "\x1b[10;1H\x1b[0;97;44m ");
}

TEST_F(ConsoleOutputTest, ColoursAlreadyInForceAreNotSentAgain) {
    const std::string bytes = bytes_of([] {
        console.color(0, 7);
        console.locate(1, 15);
        console.print("A");
        console.color(0, 7);
        console.print("B");
    });
    EXPECT_EQ(count_of(bytes, 'm'), 1);
    EXPECT_EQ(sim.text(1, 15, 2), "AB");
}

TEST_F(ConsoleOutputTest, TextRightAfterTextOnTheSameRowNeedsNoMove) {
    const std::string bytes = bytes_of([] {
        console.locate(5, 3);
        console.print("SCORE:");
        console.locate(11, 3);
        console.print("40");
    });
    EXPECT_EQ(count_of(bytes, 'H'), 1);
    EXPECT_EQ(sim.text(5, 3, 8), "SCORE:40");
}

TEST_F(ConsoleOutputTest, AMoveWithNothingDrawnAfterItIsNotWrittenWhileTheCursorIsHidden) {
    const int writes_before = sim.writes;
    console.locate(40, 14);
    console.now();
    EXPECT_EQ(sim.writes, writes_before);
}

TEST_F(ConsoleOutputTest, AMoveWithNothingDrawnAfterItIsWrittenWhileTheCursorShows) {
    console.set_cursor(true, 0);
    const std::string bytes = bytes_of([] { console.locate(40, 14); });
    EXPECT_EQ(bytes, "\x1b[?25h\x1b[14;40H");
}

TEST_F(ConsoleOutputTest, ATypedNameIsEchoedWhereTheGameAsksForIt) {
    console.color(9, 15);
    console.locate(20, 24);
    sim.add_line("BENCH");
    std::string word;
    ASSERT_TRUE(console.read_word(word));
    EXPECT_EQ(word, "BENCH");
    // Both are in force when the terminal echoes the name, in whichever order they came.
    EXPECT_EQ(last_sequence(sim.written, 'H'), "\x1b[24;20H");
    EXPECT_EQ(last_sequence(sim.written, 'm'), "\x1b[0;94;107m");
}

// A glyph moved one column left leaves the right half of its last character behind; the glyph
// after it covers that cell at once, so only the far end of the row is drawn again.
TEST_F(ConsoleOutputTest, AHalfThatTheNextGlyphCoversIsNotDrawnAgain) {
    console.color(9, 15);
    for (const int x : {11, 17}) {
        console.locate(x, 6);
        console.print("┏━┓");
    }
    console.flush();
    const std::string bytes = bytes_of([] {
        for (const int x : {10, 16}) {
            console.locate(x, 6);
            console.print("┏━┓");
        }
    });
    // One move for the row; the cell left over at its end follows it and needs none.
    EXPECT_EQ(bytes, "\x1b[6;10H┏━━━┓ ┏━━━┓  ");
    EXPECT_EQ(sim.text(10, 6, 13), "┏━┓┏━┓ ");
    EXPECT_EQ(sim.cell(22, 6).bg, 15);
}

// The music goes round its loop on its own clock; the tick during which it does is still one
// write.
TEST_F(ConsoleOutputTest, EveryScrollTickIsOneWriteEvenWhenTheMusicLoopsDuringIt) {
    play.level = 1;
    play.stage = 1;
    play_music(4);
    const std::uint64_t loop_ends = now() + 17;
    music_started_at = loop_ends - 5817;  // the stage 1 track reaches its loop point
    console.flush();
    std::vector<int> writes_per_tick;
    int writes_before = sim.writes;
    sim.on_wait([&](SimPlatform& s) {
        writes_per_tick.push_back(s.writes - writes_before);
        writes_before = s.writes;
    });
    scroll_row(question_row(1));
    ASSERT_EQ(music_started_at, loop_ends);
    ASSERT_EQ(sim.sim_audio().starts_of("stage1.wav").size(), 1U);
    ASSERT_EQ(writes_per_tick.size(), 133U);
    for (std::size_t tick = 0; tick < writes_per_tick.size(); ++tick) {
        EXPECT_EQ(writes_per_tick[tick], 1) << "tick " << tick;
    }
}

// Slow output never slows the game: with every write to the terminal taking 4 ms, a scroll
// tick, a step of the countdown and a pass of the answer's readout each still end their delay
// after the previous one ended, not their delay after the drawing.
TEST_F(ConsoleOutputTest, TicksKeepTheirDeadlinesWhenEveryWriteTakesTime) {
    constexpr std::uint64_t k_write_ms = 4;
    struct Case {
        const char* run;
        std::function<void()> play;
        // When each tick of the run began: where the game started a wait, or a count sounded.
        std::function<std::vector<std::uint64_t>(const std::vector<std::uint64_t>& waits)> ticks;
        std::uint64_t period_ms;
        std::uint64_t slack_ms;  // how far a tick's own drawing may shift where it is seen
    };
    const auto waits = [](const std::vector<std::uint64_t>& started) { return started; };
    const auto counts = [this](const std::vector<std::uint64_t>& /*started*/) {
        std::vector<std::uint64_t> sounded;
        for (const char* count : {"3.wav", "2.wav", "1.wav"}) {
            const std::vector<std::uint64_t> starts = sim.sim_audio().starts_of(count);
            sounded.push_back(starts.empty() ? 0 : starts.front());
        }
        return sounded;
    };
    const Case cases[] = {
        {"scroll", [] { scroll_row(question_row(1)); }, waits,
         static_cast<std::uint64_t>(question_row(1).delay_ms), k_write_ms},
        {"countdown", [] { announce_question(4, 60); }, counts, 4 * 125 + 500 - 70, 0},
        {"readout", [] { choose_answer(4); }, waits, 10, k_write_ms},
    };
    for (const Case& c : cases) {
        reset_play_state();
        play.level = 1;
        play.stage = 1;
        sim.sim_audio().log.clear();
        sim.clear_wait_looks();
        std::vector<std::uint64_t> started;
        sim.on_wait([&started](SimPlatform& s) { started.push_back(s.now_ms()); });
        sim.set_write_cost(k_write_ms);
        c.play();
        sim.set_write_cost(0);
        const std::vector<std::uint64_t> ticks = c.ticks(started);
        ASSERT_GE(ticks.size(), 3U) << c.run;
        for (std::size_t k = 1; k < ticks.size(); ++k) {
            const std::uint64_t due = ticks[0] + k * c.period_ms;
            ASSERT_LE(ticks[k], due + c.slack_ms) << c.run << ", tick " << k;
            ASSERT_GE(ticks[k] + c.slack_ms, due) << c.run << ", tick " << k;
        }
    }
}

}  // namespace
}  // namespace kal::test
