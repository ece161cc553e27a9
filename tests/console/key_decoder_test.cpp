#include "console/key_decoder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kal {
namespace {

struct Decoded {
    InputEvent::Kind kind;
    int code;
    KeyAction action;
    bool operator==(const Decoded&) const = default;
};

std::vector<Decoded> decode(KeyDecoder& decoder, std::string_view bytes, std::uint64_t at = 0) {
    InputEvents events;
    decoder.feed(bytes, at, events);
    std::vector<Decoded> out;
    for (const InputEvent& e : events) {
        out.push_back({e.kind, e.code, e.action});
    }
    return out;
}

std::vector<Decoded> decode(std::string_view bytes) {
    KeyDecoder decoder;
    return decode(decoder, bytes);
}

constexpr auto key = InputEvent::Kind::key;
const Decoded space_press{key, 32, KeyAction::press};
const Decoded left_press{key, 37, KeyAction::press};
const Decoded right_press{key, 39, KeyAction::press};

TEST(KeyDecoder, EveryFormOfTheGamesKeysDecodes) {
    struct Case {
        const char* bytes;
        Decoded expected;
    };
    const Case cases[] = {
        {" ", space_press},
        {"\x1b[C", right_press},
        {"\x1b[D", left_press},
        {"\x1bOC", right_press},
        {"\x1bOD", left_press},
        {"\x1b[32u", space_press},
        {"\x1b[32;1:1u", space_press},
        {"\x1b[32;1:2u", {key, 32, KeyAction::repeat}},
        {"\x1b[32;1:3u", {key, 32, KeyAction::release}},
        {"\x1b[1;1:1C", right_press},
        {"\x1b[1;1:2D", {key, 37, KeyAction::repeat}},
        {"\x1b[1;1:3D", {key, 37, KeyAction::release}},
        {"\x1b[1;65:3C", {key, 39, KeyAction::release}},  // with Caps Lock on
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decode(c.bytes), std::vector<Decoded>{c.expected})
            << testing::PrintToString(c.bytes);
    }
}

TEST(KeyDecoder, OtherSequencesAreConsumedWholeAndIgnored) {
    const char* ignored[] = {
        "a",                               // a letter
        "\r",                              // Enter
        "\x1b[A",                          // Up
        "\x1b[15~",                        // F5
        "\x1b[1;5C",                       // no: this one is Ctrl+Right, still Right
        "\x1b[<0;10;5M",                   // a mouse report
        "\x1b]11;rgb:0000/0000/0000\x07",  // a colour answer
        "\x1bP>|xterm(388)\x1b\\",         // a version answer
        "\xe3\x81\x82",                    // stray UTF-8
        "\x1b[97u",                        // kitty 'a'
        "\x1b[99;1u",                      // kitty 'c' without Ctrl
    };
    for (const char* bytes : ignored) {
        const auto out = decode(std::string(bytes) + " ");
        if (std::string_view(bytes) == "\x1b[1;5C") {
            EXPECT_EQ(out, (std::vector<Decoded>{right_press, space_press}));
        } else {
            EXPECT_EQ(out, std::vector<Decoded>{space_press}) << testing::PrintToString(bytes);
        }
    }
}

TEST(KeyDecoder, SequencesSplitAcrossReadsDecodeOnce) {
    KeyDecoder decoder;
    EXPECT_TRUE(decode(decoder, "\x1b", 0).empty());
    EXPECT_TRUE(decode(decoder, "[", 1).empty());
    EXPECT_TRUE(decode(decoder, "1;1:", 2).empty());
    EXPECT_EQ(decode(decoder, "3C", 3), (std::vector<Decoded>{{key, 39, KeyAction::release}}));
}

TEST(KeyDecoder, ALoneEscapeIsDroppedAfterItsTimeout) {
    KeyDecoder decoder;
    EXPECT_TRUE(decode(decoder, "\x1b", 100).empty());
    decoder.timeout(100 + KeyDecoder::k_escape_timeout_ms - 1);
    // Still waiting: "[C" completes the sequence.
    EXPECT_EQ(decode(decoder, "[C", 100 + KeyDecoder::k_escape_timeout_ms - 1),
              std::vector<Decoded>{right_press});

    EXPECT_TRUE(decode(decoder, "\x1b", 200).empty());
    decoder.timeout(200 + KeyDecoder::k_escape_timeout_ms);
    // The escape is gone: "[C" is now two plain characters.
    EXPECT_TRUE(decode(decoder, "[C", 200 + KeyDecoder::k_escape_timeout_ms).empty());
    EXPECT_EQ(decode(decoder, " ", 300), std::vector<Decoded>{space_press});
}

TEST(KeyDecoder, AnEscapeInsideASequenceStartsANewOne) {
    EXPECT_EQ(decode("\x1b[1;\x1b[D"), std::vector<Decoded>{left_press});
    EXPECT_EQ(decode("\x1b\x1b[C"), std::vector<Decoded>{right_press});
}

TEST(KeyDecoder, KittyCtrlCIsAnInterrupt) {
    EXPECT_EQ(decode("\x1b[99;5u"),
              (std::vector<Decoded>{{InputEvent::Kind::interrupt, 0, KeyAction::press}}));
    EXPECT_EQ(decode("\x1b[99;69u"),  // with Caps Lock
              (std::vector<Decoded>{{InputEvent::Kind::interrupt, 0, KeyAction::press}}));
    EXPECT_TRUE(decode("\x1b[99;5:3u").empty());  // its release
    EXPECT_TRUE(decode("\x1b[99;7u").empty());    // Ctrl+Alt+C
}

TEST(KeyDecoder, KittyCtrlZIsASuspend) {
    const Decoded suspend{InputEvent::Kind::suspend, 0, KeyAction::press};
    EXPECT_EQ(decode("\x1b[122;5u"), std::vector<Decoded>{suspend});
    EXPECT_EQ(decode("\x1b[122;133u"), std::vector<Decoded>{suspend});  // with Num Lock
    EXPECT_TRUE(decode("\x1b[122;5:3u").empty());                       // its release
    EXPECT_TRUE(decode("\x1b[122;6u").empty());                         // Ctrl+Shift+Z
}

TEST(KeyDecoder, StartUpAnswersAreRecognised) {
    KeyDecoder decoder;
    InputEvents events;
    decoder.feed("\x1b[?11u\x1b[2;2R\x1b[?62;22c", 5, events);
    ASSERT_EQ(events.size(), 3U);
    EXPECT_EQ(events[0].kind, InputEvent::Kind::kitty_flags);
    EXPECT_EQ(events[1].kind, InputEvent::Kind::cursor_report);
    EXPECT_EQ(events[1].row, 2);
    EXPECT_EQ(events[1].column, 2);
    EXPECT_EQ(events[2].kind, InputEvent::Kind::device_attributes);
    EXPECT_EQ(events[2].time_ms, 5U);
}

TEST(KeyDecoder, AnswersWithLongParameterListsAreReadWholeAndTheirExtraFieldsIgnored) {
    std::string many_fields;
    for (int field = 0; field < 30; ++field) {
        many_fields += ";" + std::to_string(field);
    }
    struct Case {
        std::string bytes;
        InputEvent::Kind kind;
        int row;
        int column;
    };
    const Case cases[] = {
        {"\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c", InputEvent::Kind::device_attributes, 0, 0},
        {"\x1b[?62" + many_fields + "c", InputEvent::Kind::device_attributes, 0, 0},
        {"\x1b[?62;c", InputEvent::Kind::device_attributes, 0, 0},
        {"\x1b[2;3" + many_fields + "R", InputEvent::Kind::cursor_report, 2, 3},
        {"\x1b[?15" + many_fields + "u", InputEvent::Kind::kitty_flags, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        KeyDecoder decoder;
        InputEvents events;
        decoder.feed(c.bytes + " ", 0, events);
        ASSERT_EQ(events.size(), 2U);
        EXPECT_EQ(events[0].kind, c.kind);
        EXPECT_EQ(events[0].row, c.row);
        EXPECT_EQ(events[0].column, c.column);
        EXPECT_EQ(events[1].code, 32);
    }
}

TEST(KeyDecoder, HugeParametersAndManyFieldsDoNotOverflow) {
    EXPECT_TRUE(decode("\x1b[99999999999999999;1;2;3;4;5;6;7;8;9;10C").empty());
    const auto out = decode("\x1b[2;99999999999999R ");
    ASSERT_EQ(out.size(), 2U);
    EXPECT_EQ(out[0].kind, InputEvent::Kind::cursor_report);
    EXPECT_EQ(out[1], space_press);
}

}  // namespace
}  // namespace kal
