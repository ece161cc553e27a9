#include "platform/system_texts.hpp"

namespace kal {
namespace {

// The sounds come from the game's own synthesizer; waveOut plays them; mingw-w64 builds the
// program; Wine is the console through which every screen of this build is checked. The
// console has no way to stop a program and take it up again, and no manual pages.
constexpr SystemTexts k_texts{
    "console window of at least 80x25.\n",
    "  Ctrl-C          end the game (Ctrl-Break or closing the window too)\n",
    "  Rank.dat        the ranking, in the folder the game is started from\n"
    "  history.tsv     every finished game, one line each, beside the ranking\n"
    "  NAME.wav        a WAV file in that folder replaces the game's own sound of\n"
    "                  that name, e.g. title.wav (the title music) or kettei.wav\n",
    "                  (%APPDATA%\\kaleidron\\, made on first use)\n"
    "  NAME.wav        a WAV file in that folder replaces the game's own sound of\n"
    "                  that name, e.g. title.wav (the title music) or kettei.wav\n",
    {"・KALEIDRON シンセサイザー様", "・waveOut様  ・mingw-w64様", "・Wine Project様"},
};

}  // namespace

const SystemTexts& system_texts() {
    return k_texts;
}

}  // namespace kal
