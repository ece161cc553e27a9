#include "sound/sound_levels.hpp"

#include <algorithm>
#include <array>

namespace kal {
namespace {

constexpr std::array k_sound_levels{
#include "sound/sound_levels.inc"
};

}  // namespace

float sound_level_db(std::string_view name) {
    const auto found = std::find_if(k_sound_levels.begin(), k_sound_levels.end(),
                                    [name](const SoundLevel& level) { return level.name == name; });
    return found == k_sound_levels.end() ? 0.0F : found->gain_db;
}

}  // namespace kal
