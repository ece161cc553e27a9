#include "console/text.hpp"

#include <gtest/gtest.h>

namespace kal {
namespace {

TEST(Text, WidthsFollowCodePage932) {
    struct Case {
        char32_t ch;
        int width;
    };
    for (const Case c : {Case{U'A', 1},
                         {U' ', 1},
                         {U'ｱ', 1},
                         {U'･', 1},
                         {U'あ', 2},
                         {U'　', 2},
                         {U'━', 2},
                         {U'■', 2},
                         {U'―', 2},
                         {U'×', 2},
                         {U'．', 2},
                         {U'～', 2}}) {
        EXPECT_EQ(cp932_width(c.ch), c.width) << static_cast<std::uint32_t>(c.ch);
    }
}

TEST(Text, AmbiguousCharactersAreTheOnesTerminalsDisagreeAbout) {
    for (const char32_t ch : {U'┏', U'━', U'┃', U'■', U'△', U'▼', U'―', U'×', U'…', U'←', U'→'}) {
        EXPECT_TRUE(is_ambiguous_width(ch)) << static_cast<std::uint32_t>(ch);
    }
    for (const char32_t ch : {U'A', U'あ', U'漢', U'　', U'．', U'！', U'～', U'ｱ', U'／'}) {
        EXPECT_FALSE(is_ambiguous_width(ch)) << static_cast<std::uint32_t>(ch);
    }
}

TEST(Text, NarrowCompanionsKeepTheShapes) {
    EXPECT_EQ(narrow_companion(U'━'), U'━');
    EXPECT_EQ(narrow_companion(U'┏'), U'━');
    EXPECT_EQ(narrow_companion(U'┗'), U'━');
    EXPECT_EQ(narrow_companion(U'┣'), U'━');
    EXPECT_EQ(narrow_companion(U'┻'), U'━');
    EXPECT_EQ(narrow_companion(U'┓'), U' ');
    EXPECT_EQ(narrow_companion(U'┫'), U' ');
    EXPECT_EQ(narrow_companion(U'■'), U'■');
    EXPECT_EQ(narrow_companion(U'―'), U'―');
    EXPECT_EQ(narrow_companion(U'△'), U' ');
}

TEST(Text, Utf8DecodesAndRejectsMalformedSequences) {
    const std::string text = "A■\xff\xe3\x81";
    std::size_t pos = 0;
    EXPECT_EQ(next_code_point(text, pos), U'A');
    EXPECT_EQ(next_code_point(text, pos), U'■');
    EXPECT_EQ(next_code_point(text, pos), U'\uFFFD');
    EXPECT_EQ(next_code_point(text, pos), U'\uFFFD');  // truncated at the end
    EXPECT_EQ(pos, 6U);  // the truncated sequence gives up one byte at a time
}

TEST(Text, CodePage932RoundTripsJapaneseNames) {
    std::string bytes;
    ASSERT_TRUE(utf8_to_cp932("柊木とろり", bytes));
    EXPECT_EQ(bytes.size(), 10U);
    EXPECT_EQ(bytes.substr(0, 4), "\x95\x41\x96\xd8");
    EXPECT_EQ(cp932_to_utf8(bytes), "柊木とろり");
    ASSERT_TRUE(utf8_to_cp932("ｶﾅ", bytes));
    EXPECT_EQ(bytes.size(), 2U);
}

TEST(Text, CharactersWithoutACodePage932FormAreRefused) {
    std::string bytes;
    EXPECT_FALSE(utf8_to_cp932("😀", bytes));
    EXPECT_FALSE(utf8_to_cp932("한", bytes));
}

TEST(Text, DamagedCodePage932ShowsQuestionMarksAndNoControlBytes) {
    EXPECT_EQ(cp932_to_utf8(std::string("A\x1b\x7f\x81", 4)), "A???");
    EXPECT_EQ(cp932_to_utf8("\x80\xa0\xfd"), "???");
}

}  // namespace
}  // namespace kal
