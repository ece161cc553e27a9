#include "screens/credits.hpp"

#include <array>
#include <cstdint>

#include "console/console.hpp"
#include "platform/system_texts.hpp"
#include "shell/draw.hpp"
#include "shell/music.hpp"

namespace kal {
namespace {

constexpr std::uint64_t k_step_ms = 20;

constexpr std::array<CreditLine, 2> k_programmer{{
    {47, 5, "Silverthistle"},
    {20, 5, "■プログラマー"},
}};

constexpr std::array<CreditLine, 2> k_adviser{{
    {47, 8, "柊木とろり"},
    {20, 8, "■アドバイザー"},
}};

constexpr std::array<CreditLine, 2> k_test_players{{
    {47, 11, "KALEIDRON テスト班の皆様方"},
    {20, 11, "■テストプレイヤー"},
}};

constexpr std::array<CreditLine, 2> k_planning{{
    {47, 14, "kal-team / KALEIDRON 開発室"},
    {20, 14, "■企画制作"},
}};

// What the build's sound and making rest on differs by system, and so do its thanks.
const std::array<CreditLine, 4>& material() {
    static const std::array<CreditLine, 4> k_lines{{
        {45, 19, system_texts().material[0]},
        {45, 18, system_texts().material[1]},
        {45, 17, system_texts().material[2]},
        {20, 17, "■素材提供"},
    }};
    return k_lines;
}

// UAX #11 says how wide terminals draw each character, which the console must know to keep
// every column where code page 932 puts it.
constexpr std::array<CreditLine, 2> k_reference{{
    {20, 21, "■参考  UAX #11(https://www.unicode.org/reports/tr11/)"},
    {20, 22, "       『KALEIDRON 3』 for 柊木とろり"},
}};

}  // namespace

std::span<const CreditLine> credit_step(int step) {
    static const std::array<std::span<const CreditLine>, k_credit_steps> k_steps{{
        k_programmer,
        k_adviser,
        k_test_players,
        k_planning,
        material(),
        k_reference,
        {},
    }};
    return k_steps[static_cast<std::size_t>(step - 1)];
}

Screen credits_screen() {
    console.color(k_black, k_white);
    console.cls(k_keep, k_keep);
    console.color(k_black, k_white);
    print_at(37, 2, "CREDIT");
    for (int step = 1; step <= k_credit_steps; ++step) {
        for (const CreditLine& line : credit_step(step)) {
            print_at(line.x, line.y, line.text);
        }
        console.wait(k_step_ms);
    }
    print_at(64, 25, "Press SPACE KEY.");
    wait_space(k_track_title);
    return Screen::title;
}

}  // namespace kal
