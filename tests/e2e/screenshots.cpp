// Pictures of the game for its documentation: every screen is run on the simulated terminal with
// scripted keys, a player bot answers the questions, and the screen is written out as an SVG
// picture the first time it shows the moment wanted. Then the bot trains, game after game, and
// the training report of its history is written out as text (stats.txt).
//
//   kaleidron-screenshots DIRECTORY

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../play/play_fixture.hpp"
#include "console/console.hpp"
#include "game/program.hpp"
#include "history/history_file.hpp"
#include "history/history_report.hpp"
#include "platform/line_file.hpp"
#include "play/normal_mode.hpp"
#include "play/play_state.hpp"
#include "screen_reading.hpp"
#include "screens/credits.hpp"
#include "screens/ranking_board.hpp"
#include "screens/ranking_file.hpp"
#include "screens/result_screen.hpp"
#include "screens/tutorial.hpp"
#include "shell/title_screen.hpp"
#include "sim_platform.hpp"
#include "sound/embedded_sounds.hpp"
#include "sound_files.hpp"
#include "svg_screen.hpp"
#include "temp_directory.hpp"

namespace kal::test {
namespace {

namespace fs = std::filesystem;

// The same game every time, so that the pictures only change when the game does.
constexpr unsigned k_seed = 7;
constexpr std::uint32_t k_sound_ms = 300;
constexpr std::uint64_t k_tutorial_tap_every_ms = 400;
constexpr std::uint64_t k_roulette_spin_ms = 700;
// The bot answers this many questions, one of them wrong, then lets the clock run out.
constexpr std::size_t k_answered_questions = 20;
constexpr std::size_t k_wrong_question = 9;
constexpr std::string_view k_player_name = "KALEIDRON";
// The training: this many games after the pictures' game, which is left out of the history, the bot
// quicker and surer from one to the next.
constexpr int k_training_games = 30;
constexpr int k_first_reaction_ms = 2600;
constexpr int k_last_reaction_ms = 450;
constexpr int k_first_misses_in_ten = 4;

struct Shot {
    std::string name;
    std::string title;
    std::function<bool(const SimPlatform&)> ready;
};

// Takes each expected picture the first time its moment has come.
class Photographer {
public:
    Photographer(const SimPlatform& sim, fs::path directory)
        : sim_(sim), directory_(std::move(directory)) {}

    void expect(Shot shot) { pending_.push_back(std::move(shot)); }

    [[nodiscard]] const fs::path& directory() const { return directory_; }

    void look() {
        std::erase_if(pending_, [this](const Shot& shot) {
            if (!shot.ready(sim_)) {
                return false;
            }
            std::ofstream(directory_ / (shot.name + ".svg")) << screen_svg(sim_, shot.title);
            std::printf("%s.svg  %s\n", shot.name.c_str(), shot.title.c_str());
            return true;
        });
    }

    // The pictures of a screen that never came; they are dropped.
    std::vector<std::string> take_missed() {
        std::vector<std::string> names;
        for (const Shot& shot : pending_) {
            names.push_back(shot.name);
        }
        pending_.clear();
        return names;
    }

private:
    const SimPlatform& sim_;
    fs::path directory_;
    std::vector<Shot> pending_;
};

// Taps SPACE once, a little after the moment the screen first shows the text.
class SpaceWhenShown {
public:
    explicit SpaceWhenShown(std::string text, std::uint64_t after_ms = 100)
        : text_(std::move(text)), after_ms_(after_ms) {}

    void look(SimPlatform& sim) {
        if (!tapped_ && sim.shows(text_)) {
            sim.tap(k_key_space, sim.now_ms() + after_ms_);
            tapped_ = true;
        }
    }

private:
    std::string text_;
    std::uint64_t after_ms_;
    bool tapped_ = false;
};

// A run of at least `digits` digit glyphs side by side on the scrolling row, wholly inside
// columns from..to.
bool row_stands_within(const SimPlatform& sim, int digits, int from, int to) {
    constexpr int glyph_columns = 6;
    constexpr int glyph_row = 7;
    for (int x = from; x + digits * glyph_columns - 1 <= to; ++x) {
        int run = 0;
        while (run < digits && read_digit(sim, x + run * glyph_columns, glyph_row) >= 0) {
            ++run;
        }
        if (run == digits) {
            return true;
        }
    }
    return false;
}

std::optional<Choice> bot_policy(const Turn& turn, std::size_t turn_index) {
    if (turn_index >= k_answered_questions) {
        return std::nullopt;
    }
    const int missing = turn.missing_index();
    if (turn_index == k_wrong_question) {
        const int wrong = (missing + 1) % static_cast<int>(turn.candidates.size());
        return Choice{wrong, 1500};
    }
    return answer_right(turn);
}

// Noon of a day of April 2025 on the local calendar.
std::time_t april_noon(int day) {
    std::tm noon{};
    noon.tm_year = 2025 - 1900;
    noon.tm_mon = 3;
    noon.tm_mday = day;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    return std::mktime(&noon);
}

// A player in training: in game `game` of the training it answers more slowly and misses more
// often the earlier the game, and a little more slowly at every level.
std::optional<Choice> trainee_policy(const Turn& turn, int game) {
    const int missing = turn.missing_index();
    const int misses_in_ten =
        k_first_misses_in_ten - k_first_misses_in_ten * game / k_training_games;
    const int reaction = k_first_reaction_ms -
                         (k_first_reaction_ms - k_last_reaction_ms) * game / k_training_games +
                         40 * static_cast<int>(turn.candidates.size()) + std::rand() % 300;
    const int choice = std::rand() % 10 < misses_in_ten
                           ? (missing + 1) % static_cast<int>(turn.candidates.size())
                           : missing;
    return Choice{choice, static_cast<std::uint64_t>(reaction)};
}

class ScreenshotRun {
public:
    explicit ScreenshotRun(const fs::path& directory) : camera_(sim_, directory) {}

    int run() {
        start_up();
        title();
        tutorial();
        credits();
        game();
        result();
        board();
        training();
        console.detach();
        if (!missed_.empty()) {
            for (const std::string& name : missed_) {
                std::fprintf(stderr, "the moment for %s.svg never came\n", name.c_str());
            }
            return 1;
        }
        return 0;
    }

private:
    // The program's own start-up, with a fixed seed.
    void start_up() {
        reset_game_state();
        console.attach(sim_, sim_.terminal());
        console.set_traits({AmbiguousWidth::narrow, true, false});
        load_ranking();
        save_ranking();
        std::srand(k_seed);
        console.bgcolor(15);
        console.color(0, 16);
        console.set_cursor(false, 0);
        console.cls(16, 16);
    }

    // Runs one screen with the given look at every wait, looks once more at what it leaves on
    // the screen, then collects the pictures it missed.
    void run_screen(const std::function<void(SimPlatform&)>& look,
                    const std::function<void()>& screen) {
        sim_.clear_wait_looks();
        sim_.on_wait([this, &look](SimPlatform& sim) {
            camera_.look();
            look(sim);
        });
        screen();
        camera_.look();
        const std::vector<std::string> missed = camera_.take_missed();
        missed_.insert(missed_.end(), missed.begin(), missed.end());
    }

    void title() {
        camera_.expect({"title", "KALEIDRON: the title screen",
                        [](const SimPlatform& sim) { return sim.shows("ノーマルモード"); }});
        SpaceWhenShown choose("ノーマルモード");
        run_screen([&choose](SimPlatform& sim) { choose.look(sim); }, [] { title_screen(); });
    }

    void tutorial() {
        camera_.expect(
            {"tutorial-1", "KALEIDRON: the tutorial shows the play screen",
             [](const SimPlatform& sim) { return sim.shows("ここに文字が流れてくるので"); }});
        camera_.expect({"tutorial-2", "KALEIDRON: the tutorial's cursor on the candidates",
                        [](const SimPlatform& sim) {
                            return sim.shows("上に出てなかった数字を選びましょう。");
                        }});
        camera_.expect({"tutorial-3", "KALEIDRON: the tutorial's right answer and time bonus",
                        [](const SimPlatform& sim) { return sim.shows("Great +2sec"); }});
        std::uint64_t next_tap = sim_.now_ms() + k_tutorial_tap_every_ms;
        run_screen(
            [&next_tap](SimPlatform& sim) {
                if (sim.now_ms() >= next_tap) {
                    sim.tap(k_key_space, sim.now_ms() + 10);
                    next_tap = sim.now_ms() + k_tutorial_tap_every_ms;
                }
            },
            [] { tutorial_screen(); });
    }

    void credits() {
        camera_.expect({"credits", "KALEIDRON: the credits",
                        [](const SimPlatform& sim) { return sim.shows("Press SPACE KEY."); }});
        SpaceWhenShown leave("Press SPACE KEY.");
        run_screen([&leave](SimPlatform& sim) { leave.look(sim); }, [] { credits_screen(); });
    }

    void game() {
        camera_.expect({"question", "KALEIDRON: a row of five digits scrolls by",
                        [](const SimPlatform& sim) { return row_stands_within(sim, 5, 20, 60); }});
        camera_.expect({"answer-right", "KALEIDRON: a right answer with its time bonus",
                        [](const SimPlatform& sim) {
                            return play.level >= 2 && sim.text(38, 22, 4) == "正解" &&
                                   sim.shows("Excellent! +7sec");
                        }});
        camera_.expect({"answer-wrong", "KALEIDRON: a wrong answer costs three seconds",
                        [](const SimPlatform& sim) { return sim.shows("Penalty! Time -3sec"); }});
        camera_.expect({"time-over", "KALEIDRON: time over",
                        [](const SimPlatform& sim) { return sim.shows("タイムオーバー"); }});
        std::size_t turns = 0;
        PlayBot bot(sim_, [&turns](const Turn& turn) { return bot_policy(turn, turns++); });
        run_screen([&bot](SimPlatform&) { bot.look(); }, [] { start_normal_mode(); });
    }

    void result() {
        camera_.expect({"result", "KALEIDRON: the result screen, ranked in",
                        [](const SimPlatform& sim) { return sim.shows("位にランクイン!"); }});
        sim_.add_line(std::string(k_player_name));
        SpaceWhenShown stop_roulette("Press SPACE KEY", k_roulette_spin_ms);
        run_screen([&stop_roulette](SimPlatform& sim) { stop_roulette.look(sim); },
                   [] { result_screen(); });
    }

    void board() {
        camera_.expect(
            {"ranking", "KALEIDRON: the ranking board after a game",
             [](const SimPlatform& sim) { return sim.shows("Thank you for your playing."); }});
        SpaceWhenShown leave("Thank you for your playing.");
        run_screen([&leave](SimPlatform& sim) { leave.look(sim); }, [] { ranking_board(); });
    }

    // Games of a player in training, each from normal mode to its total, in a history of their
    // own; then its report as --stats prints it into a file.
    void training() {
        fs::remove(history_path());
        for (int game = 0; game < k_training_games; ++game) {
            // One game a day through a month of its own, so that the report changes only when
            // the game does.
            sim_.set_calendar_time(april_noon(game + 1));
            PlayBot bot(sim_, [game](const Turn& turn) { return trainee_policy(turn, game); });
            run_screen([&bot](SimPlatform&) { bot.look(); }, [] { start_normal_mode(); });
            sim_.add_line(std::string(k_player_name));
            SpaceWhenShown stop_roulette("Press SPACE KEY", k_roulette_spin_ms);
            SpaceWhenShown regret("残念!ランクイン出来ませんでした");
            run_screen(
                [&stop_roulette, &regret](SimPlatform& sim) {
                    stop_roulette.look(sim);
                    regret.look(sim);
                },
                [] { result_screen(); });
        }
        std::string text;
        read_line_file(history_path(), text);
        const History history = parse_history(text);
        std::ofstream(camera_.directory() / "stats.txt") << stats_output(history, ReportOptions{});
        std::printf("stats.txt  the training report after %d games\n", k_training_games);
    }

    SimPlatform sim_;
    Photographer camera_;
    std::vector<std::string> missed_;
};

// Short silent sounds stand in for the game's own, which would only cost time to render.
void write_stand_in_sounds() {
    for (const std::string_view name : embedded_sound_names()) {
        write_silent_wav(std::string(name), k_sound_ms);
    }
}

}  // namespace
}  // namespace kal::test

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const fs::path directory = fs::absolute(argv[1]);
    fs::create_directories(directory);
    // The game runs in a fresh working directory.
    const kal::test::TempWorkingDirectory scratch("kaleidron-shots");
    kal::test::write_stand_in_sounds();
    kal::test::ScreenshotRun run(directory);
    return run.run();
}
