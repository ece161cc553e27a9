#include "game/command_line.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace kal {
namespace {

using Action = CommandLine::Action;

CommandLine parse(const std::vector<const char*>& arguments) {
    return parse_command_line(arguments);
}

struct Answered {
    std::optional<int> status;
    std::string out;
    std::string err;
};

Answered answer(const std::vector<const char*>& arguments,
                DataHome home = DataHome::working_directory) {
    std::ostringstream out;
    std::ostringstream err;
    const std::optional<int> status = answer_command_line(parse(arguments), home, out, err);
    return {status, out.str(), err.str()};
}

TEST(CommandLineTest, EachArgumentListReadsAsOneAction) {
    struct Case {
        std::vector<const char*> arguments;
        Action action;
        std::string ranking_file;
    };
    const std::vector<Case> cases{
        {{}, Action::play, ""},
        {{"--ranking", "mine.dat"}, Action::play, "mine.dat"},
        {{"--ranking=/tmp/x y.dat"}, Action::play, "/tmp/x y.dat"},
        {{"--ranking", "a.dat", "--ranking", "b.dat"}, Action::play, "b.dat"},
        {{"--ranking", "--help"}, Action::play, "--help"},
        {{"--help"}, Action::help, ""},
        {{"--version"}, Action::version, ""},
        {{"--version", "--help"}, Action::help, ""},
        {{"--ranking", "mine.dat", "--version"}, Action::version, "mine.dat"},
        {{"--ranking"}, Action::usage_error, ""},
        {{"--ranking="}, Action::usage_error, ""},
        {{"--ranking", ""}, Action::usage_error, ""},
        {{"--helpme"}, Action::usage_error, ""},
        {{"-h"}, Action::usage_error, ""},
        {{"--"}, Action::usage_error, ""},
        {{"Rank.dat"}, Action::usage_error, ""},
        {{"--help", "--bogus"}, Action::usage_error, ""},
        {{"--stats"}, Action::stats, ""},
        {{"--stats", "--tsv"}, Action::stats, ""},
        {{"--tsv", "--ranking", "kept/mine.dat", "--stats"}, Action::stats, "kept/mine.dat"},
        {{"--stats", "--help"}, Action::help, ""},
        {{"--tsv"}, Action::usage_error, ""},
        {{"--stats", "extra"}, Action::usage_error, ""},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const char* argument : c.arguments) {
            shown += std::string(argument) + " ";
        }
        SCOPED_TRACE(shown);
        const CommandLine command_line = parse(c.arguments);
        EXPECT_EQ(command_line.action, c.action);
        if (c.action != Action::usage_error) {
            EXPECT_EQ(command_line.ranking_file, c.ranking_file);
            EXPECT_TRUE(command_line.error.empty());
        } else {
            EXPECT_FALSE(command_line.error.empty());
        }
    }
}

TEST(CommandLineTest, HelpVersionAndMistakesAnswerOnTheirStreamsWithTheirStatus) {
    struct Case {
        std::vector<const char*> arguments;
        int status;
        std::string out_starts;
        std::string err_starts;
    };
    const std::vector<Case> cases{
        {{"--help"}, 0, "Usage: kaleidron [--ranking FILE]\n", ""},
        {{"--version"}, 0, "kaleidron ", ""},
        {{"--bogus"}, 2, "", "kaleidron: unknown option '--bogus'\n\nUsage: kaleidron"},
        {{"extra"}, 2, "", "kaleidron: unexpected argument 'extra'\n\nUsage: kaleidron"},
        {{"--ranking"}, 2, "", "kaleidron: --ranking needs a FILE\n\nUsage: kaleidron"},
        {{"--tsv"}, 2, "", "kaleidron: --tsv goes with --stats\n\nUsage: kaleidron"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        const Answered answered = answer(c.arguments);
        ASSERT_TRUE(answered.status.has_value());
        EXPECT_EQ(*answered.status, c.status);
        EXPECT_EQ(answered.out.substr(0, c.out_starts.size()), c.out_starts);
        EXPECT_EQ(answered.out.empty(), c.out_starts.empty());
        EXPECT_EQ(answered.err.substr(0, c.err_starts.size()), c.err_starts);
        EXPECT_EQ(answered.err.empty(), c.err_starts.empty());
    }
}

TEST(CommandLineTest, APlayingCommandLineIsNotAnswered) {
    const Answered answered = answer({"--ranking", "mine.dat"});
    EXPECT_FALSE(answered.status.has_value());
    EXPECT_TRUE(answered.out.empty());
    EXPECT_TRUE(answered.err.empty());
}

TEST(CommandLineTest, TheStatsOptionAsksForTheTableOnlyWithTsv) {
    EXPECT_FALSE(parse({"--stats"}).tsv);
    EXPECT_TRUE(parse({"--stats", "--tsv"}).tsv);
    EXPECT_FALSE(answer({"--stats", "--tsv"}).status.has_value());
}

TEST(CommandLineTest, AnEscapeSequenceInAnArgumentNeverReachesTheTerminal) {
    const Answered answered = answer({"--\x1b[2J\x1b]0;owned\x07"});
    EXPECT_EQ(answered.status, 2);
    EXPECT_EQ(answered.err.find('\x1b'), std::string::npos);
    EXPECT_EQ(answered.err.find('\x07'), std::string::npos);
    EXPECT_NE(answered.err.find("'--?[2J?]0;owned?'"), std::string::npos);
}

TEST(CommandLineTest, TheUsageSaysWhereTheRankingIsAndHowToReplaceASound) {
    ASSERT_EQ(::setenv("XDG_DATA_HOME", "/data/of/player", 1), 0);
    const std::string built_tree = usage_text(DataHome::working_directory);
    const std::string installed = usage_text(DataHome::per_user);
    ::unsetenv("XDG_DATA_HOME");

    EXPECT_NE(built_tree.find("Rank.dat        the ranking, in the working directory"),
              std::string::npos);
    EXPECT_NE(installed.find("Rank.dat        the ranking: /data/of/player/kaleidron/Rank.dat\n"),
              std::string::npos);
    EXPECT_NE(installed.find("~/.local/share/kaleidron/"), std::string::npos);
    EXPECT_NE(built_tree.find("history.tsv     every finished game, one line each, beside the "
                              "ranking\n"),
              std::string::npos);
    EXPECT_NE(installed.find("history.tsv     every finished game, one line each: "
                             "/data/of/player/kaleidron/history.tsv\n"),
              std::string::npos);
    for (const std::string& usage : {built_tree, installed}) {
        EXPECT_NE(usage.find("--ranking FILE"), std::string::npos);
        EXPECT_NE(usage.find("cannot be read or written is never emptied or replaced"),
                  std::string::npos);
        EXPECT_NE(usage.find("title.wav"), std::string::npos);
        EXPECT_NE(usage.find("Left, Right"), std::string::npos);
        EXPECT_NE(usage.find("Ctrl-C"), std::string::npos);
        EXPECT_NE(usage.find("--stats [--tsv]"), std::string::npos);
    }
}

}  // namespace
}  // namespace kal
