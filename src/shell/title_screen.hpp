#pragma once

#include "shell/screen_flow.hpp"

namespace kal {

// The hub of the game: the banner and a menu of four boxed items; Left and Right move the
// cursor, SPACE chooses. Returns the screen of the chosen item.
Screen title_screen();

}  // namespace kal
