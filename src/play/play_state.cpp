#include "play/play_state.hpp"

namespace kal {

PlayState play;

void reset_play_state() {
    play = PlayState{};
}

}  // namespace kal
