#include "play/pacing.hpp"

#include <cstdint>

#include "console/console.hpp"
#include "play/play_state.hpp"
#include "shell/music.hpp"

namespace kal {

void wait_ms(int ms) {
    console.wait(static_cast<std::uint64_t>(ms));
}

void music_tick() {
    play_music(stage_track(play.stage));
}

void paced_pause(int times, int ms) {
    for (int i = 0; i < times; ++i) {
        music_tick();
        wait_ms(ms);
    }
    music_tick();
}

}  // namespace kal
