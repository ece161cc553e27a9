#include "console/line_editor.hpp"

#include <gtest/gtest.h>

#include <string>

namespace kal {
namespace {

using State = LineEditor::State;

LineEditor typed(std::string_view bytes, bool cp932 = false) {
    LineEditor editor(cp932);
    for (const char byte : bytes) {
        editor.type(static_cast<unsigned char>(byte));
    }
    return editor;
}

TEST(LineEditor, EditingKeysChangeTheLineAsTheTerminalsOwnEditingDoes) {
    struct Case {
        const char* what;
        std::string bytes;
        bool cp932;
        std::string text;
        State state;
    };
    const Case cases[] = {
        {"letters and Enter", "ABC\r", false, "ABC", State::line_done},
        {"line feed", "ABC\n", false, "ABC", State::line_done},
        {"Backspace",
         "ABX\x7f"
         "C\r",
         false, "ABC", State::line_done},
        {"Ctrl-H",
         "ABX\x08"
         "C",
         false, "ABC", State::typing},
        {"Backspace takes a whole UTF-8 character",
         "Aあ\x7f\x7f"
         "B",
         false, "B", State::typing},
        {"Backspace takes a whole code page 932 character", "A\x82\xa0\x7f", true, "A",
         State::typing},
        {"Backspace on nothing",
         "\x7f\x7f"
         "A",
         false, "A", State::typing},
        {"Ctrl-U",
         "ONE TWO\x15"
         "THREE",
         false, "THREE", State::typing},
        {"Ctrl-W",
         "ONE TWO  \x17"
         "X",
         false, "ONE X", State::typing},
        {"a tab parts words", "ONE\tTWO", false, "ONE TWO", State::typing},
        {"other control characters",
         "A\x01\x02\x07\x1f"
         "B",
         false, "AB", State::typing},
        {"Ctrl-D on an empty line", "\x04", false, "", State::input_ended},
        {"Ctrl-D after text", "AB\x04", false, "AB", State::line_done},
        {"nothing after the end", "AB\rCD", false, "AB", State::line_done},
        {"code page 932 text", "\x82\xa0\x82\xa2", true, "あい", State::typing},
        {"half-width katakana in code page 932", "\xb1\xb2", true, "ｱｲ", State::typing},
        {"a byte that is no code page 932", "A\x85\x40", true, "A\uFFFD", State::typing},
        {"a lead byte cut off", "A\x82", true, "A\uFFFD", State::typing},
        {"bytes that are no UTF-8",
         "A\xff"
         "B",
         false,
         "A\uFFFD"
         "B",
         State::typing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const LineEditor editor = typed(c.bytes, c.cp932);
        EXPECT_EQ(editor.text(), c.text);
        EXPECT_EQ(editor.state(), c.state);
    }
}

TEST(LineEditor, ALineKeepsNoMoreThanTheTerminalsOwnEditingTakes) {
    const LineEditor editor = typed(std::string(LineEditor::k_max_line_bytes + 100, 'A') + "\x7f");
    EXPECT_EQ(editor.text().size(), LineEditor::k_max_line_bytes - 1);
}

TEST(LineEditor, TheFieldShowsTheEndOfTheLineThatFitsAndMarksWhatNoNameHolds) {
    struct Case {
        std::string bytes;
        int columns;
        std::string shown;
    };
    const Case cases[] = {
        {"NAME", 22, "NAME"},
        {std::string(36, 'A') + "XYZ", 22, std::string(19, 'A') + "XYZ"},
        {"あいうえおかきくけこさしす", 22, "うえおかきくけこさしす"},
        {"あいうえおかきくけこさしす", 21, "えおかきくけこさしす"},  // never half a character
        {"ｱｲｳ", 2, "ｲｳ"},
        {"NAME😀é", 22, "NAME??"},
        {"A\xff"
         "B",
         22, "A?B"},
        {"", 22, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(typed(c.bytes).shown(c.columns), c.shown);
    }
}

}  // namespace
}  // namespace kal
