#include "platform/system_texts.hpp"

namespace kal {
namespace {

// The sounds come from the game's own synthesizer; OpenAL Soft plays them; Debian carries the
// libraries the game runs on; libvterm is the terminal through which every screen is checked.
constexpr SystemTexts k_texts{
    "terminal of at least 80x25.\n",
    "  Ctrl-C          quit (Ctrl-Z suspends)\n",
    "  Rank.dat        the ranking, in the working directory the game starts from\n"
    "  history.tsv     every finished game, one line each, beside the ranking\n"
    "  NAME.wav        a WAV file in the working directory replaces the game's own\n"
    "                  sound of that name, e.g. title.wav (the title music);\n"
    "                  kaleidron(6) lists the names\n",
    "                  ($XDG_DATA_HOME/kaleidron/, or ~/.local/share/kaleidron/ when\n"
    "                  XDG_DATA_HOME is unset; the folder is made on first use)\n"
    "  NAME.wav        a WAV file in that folder replaces the game's own sound of that\n"
    "                  name, e.g. title.wav (the title music); kaleidron(6) lists the\n"
    "                  names\n",
    {"・KALEIDRON シンセサイザー様", "・OpenAL Soft様  ・Debian Project様", "・libvterm様"},
};

}  // namespace

const SystemTexts& system_texts() {
    return k_texts;
}

}  // namespace kal
