#include "play/play_state.hpp"

#include <algorithm>
#include <limits>

namespace kal {

PlayState play;

void reset_play_state() {
    play = PlayState{};
}

void note_reaction(std::uint64_t reaction_ms) {
    if (play.answered >= k_question_count) {
        return;
    }
    constexpr std::uint64_t k_most = std::numeric_limits<std::uint32_t>::max();
    play.reaction_ms[static_cast<std::size_t>(play.answered)] =
        static_cast<std::uint32_t>(std::min(reaction_ms, k_most));
    ++play.answered;
}

}  // namespace kal
