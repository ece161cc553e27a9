#pragma once

// The auto-repeat settings of terminals and desktops that the key tests play: the delay before
// a held key's first repeat and the interval between its repeats.

#include <array>
#include <cstdint>

namespace kal::test {

struct RepeatProfile {
    std::uint64_t delay_ms;
    std::uint64_t interval_ms;
};

inline constexpr std::array<RepeatProfile, 6> k_auto_repeat_profiles{
    {{250, 33}, {500, 30}, {660, 40}, {250, 92}, {200, 16}, {1000, 100}}};

}  // namespace kal::test
