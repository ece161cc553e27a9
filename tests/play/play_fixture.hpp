#pragma once

// Normal mode on the simulated platform, watched as a player watches it: the test looks at the
// screen every time the game waits, reads the large digits off it, and can play along by
// pressing keys in answer to what it sees.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.hpp"
#include "game_fixture.hpp"
#include "play/play_state.hpp"
#include "screen_reading.hpp"
#include "shell/music.hpp"
#include "shell/screen_kit.hpp"
#include "sound_files.hpp"

namespace kal::test {

// Text as the player sees it: a full-width blank is two blanks.
inline std::string as_read(std::string text) {
    constexpr std::string_view wide_blank = "　";
    for (std::size_t at = text.find(wide_blank); at != std::string::npos;
         at = text.find(wide_blank)) {
        text.replace(at, wide_blank.size(), "  ");
    }
    return text;
}

// Keys that pick candidate index and confirm it exactly reaction_ms after the cursor appeared
// at t0: the last arrow is held until 10 ms before and SPACE is pressed at that moment, which
// the answer loop reads as it comes; index 0 is reached by going right and back.
inline void script_answer(SimPlatform& sim, std::uint64_t t0, int index,
                          std::uint64_t reaction_ms) {
    const std::uint64_t last_release = t0 + reaction_ms - 10;
    if (index == 0) {
        sim.tap(k_key_right, t0 + 10, 10);
        sim.press(k_key_left, t0 + 40);
        sim.release(k_key_left, last_release);
    } else {
        for (int i = 1; i < index; ++i) {
            sim.tap(k_key_right, t0 + 20 * static_cast<std::uint64_t>(i), 10);
        }
        sim.press(k_key_right, t0 + 20 * static_cast<std::uint64_t>(index));
        sim.release(k_key_right, last_release);
    }
    sim.tap(k_key_space, t0 + reaction_ms, 10);
}

// One question as the player met it when the cursor first stood on the candidates.
struct Turn {
    std::uint64_t cursor_ms = 0;
    std::vector<int> scrolled;  // the row as read while it scrolled
    std::vector<int> candidates;
    std::string readout;

    // The candidate that did not scroll, or -1 when not exactly one did not.
    [[nodiscard]] int missing_index() const {
        int found = -1;
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (std::find(scrolled.begin(), scrolled.end(), candidates[i]) == scrolled.end()) {
                if (found >= 0) {
                    return -1;
                }
                found = static_cast<int>(i);
            }
        }
        return found;
    }
};

struct Choice {
    int index;
    std::uint64_t reaction_ms;
};

using Policy = std::function<std::optional<Choice>(const Turn&)>;

// The right candidate, quickly enough for the largest bonus.
inline std::optional<Choice> answer_right(const Turn& turn) {
    const int index = turn.missing_index();
    return Choice{index, 100 + 20 * static_cast<std::uint64_t>(index)};
}

// A player that reads the row as it scrolls and the candidates when the cursor appears, then
// presses keys as its policy says.
class PlayBot {
public:
    PlayBot(SimPlatform& sim, Policy policy) : sim_(sim), policy_(std::move(policy)) {}

    std::vector<Turn> turns;

    void look() {
        if (sim_.text(27, 7, 6) == "ソクド") {
            scrolled_.clear();
            in_turn_ = false;
            return;
        }
        if (in_turn_) {
            return;
        }
        if (std::optional<Turn> turn = read_turn()) {
            in_turn_ = true;
            turns.push_back(*turn);
            if (const std::optional<Choice> choice = policy_(*turn)) {
                script_answer(sim_, turn->cursor_ms, choice->index, choice->reaction_ms);
            }
            return;
        }
        read_scrolling_row();
    }

private:
    std::optional<Turn> read_turn() {
        for (int digits = 2; digits <= 8; ++digits) {
            if (sim_.text(39 - 3 * digits, 19, 2) != "△") {
                continue;
            }
            Turn turn;
            for (int k = 0; k <= digits; ++k) {
                turn.candidates.push_back(read_digit(sim_, 37 - 3 * digits + 6 * k, 17));
            }
            turn.cursor_ms = sim_.now_ms();
            turn.scrolled = scrolled_;
            turn.readout = read_time(sim_);
            return turn;
        }
        return std::nullopt;
    }

    // Keeps the longest run of touching glyphs seen on rows 6 to 8: the whole row once it is
    // all on the screen.
    void read_scrolling_row() {
        for (int x = 1; x <= 75; ++x) {
            std::vector<int> run;
            for (int column = x; column <= 75; column += 6) {
                const int digit = read_digit(sim_, column, 7);
                if (digit < 0) {
                    break;
                }
                run.push_back(digit);
            }
            if (run.size() > scrolled_.size()) {
                scrolled_ = run;
            }
        }
    }

    SimPlatform& sim_;
    Policy policy_;
    std::vector<int> scrolled_;
    bool in_turn_ = false;
};

// A text seen at its place, with its colours, at some moment while the game waited.
struct Sighting {
    int x;
    int y;
    std::string text;
    int fg = -1;
    int bg = -1;
    std::uint64_t first_ms = 0;
    bool seen = false;
};

class PlayTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        for (const char* name : k_sounds) {
            write_silent_wav(name, 300);
        }
        reset_play_state();
        reset_screen_kit();
        std::srand(1);
    }

    PlayBot& add_bot(Policy policy) {
        bot_.emplace(sim, std::move(policy));
        sim.on_wait([this](SimPlatform&) { bot_->look(); });
        return *bot_;
    }

    // Records the first moment the text stands at (x, y) and its colours then.
    void watch_for(std::vector<Sighting>& sightings) {
        sim.on_wait([&sightings](SimPlatform& terminal) {
            for (Sighting& s : sightings) {
                if (!s.seen &&
                    terminal.text(s.x, s.y, static_cast<int>(s.text.size())).starts_with(s.text)) {
                    s.seen = true;
                    s.first_ms = terminal.now_ms();
                    s.fg = terminal.cell(s.x, s.y).fg;
                    s.bg = terminal.cell(s.x, s.y).bg;
                }
            }
        });
    }

    static constexpr std::array<const char*, 23> k_sounds{
        "title.wav",  "result.wav", "kuria.wav",   "stage1.wav", "stage2.wav", "stage3.wav",
        "stage4.wav", "stage5.wav", "stage6.wav",  "kettei.wav", "kasoru.wav", "1.wav",
        "2.wav",      "3.wav",      "start.wav",   "-60.wav",    "-100.wav",   "-200.wav",
        "seikai.wav", "hazure.wav", "hazure0.wav", "over.wav",   "kekka.wav"};

private:
    std::optional<PlayBot> bot_;
};

}  // namespace kal::test
