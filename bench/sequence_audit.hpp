#pragma once

// Looks for cursor and colour sequences that change nothing on the terminal: a move or a colour
// overtaken by the next one before any character is drawn, a move to where the cursor already
// stands, a colour that is already set. Fed with every byte the game writes, in order, so that
// it knows where the cursor stands and which colours are set when a frame begins.

#include <string>
#include <string_view>

#include "screen_model.hpp"

namespace kal::bench {

using test::CursorPosition;
using test::k_columns;
using test::ScreenModel;

struct SequenceCounts {
    int cursor_moves = 0;
    int colour_sets = 0;
    int overtaken_moves = 0;    // followed by another move before anything is drawn
    int overtaken_colours = 0;  // followed by another full colour set before anything is drawn
    int idle_moves = 0;         // to where the cursor already stands
    int idle_colours = 0;       // the colours already set

    [[nodiscard]] int redundant() const {
        return overtaken_moves + overtaken_colours + idle_moves + idle_colours;
    }
    SequenceCounts& operator+=(const SequenceCounts& other);
};

class SequenceAudit {
public:
    // Follows bytes the game wrote; when counted is true their sequences are added to the counts.
    void feed(std::string_view bytes, bool counted);
    // The counts since the last take, which starts them again from zero.
    SequenceCounts take_counts();

private:
    enum class Last { text, move, colour, other };

    void on_text(std::string_view text);
    void on_csi(std::string_view sequence, bool counted);
    void on_move(std::string_view params, bool counted);
    void on_colour(std::string_view params, bool counted);

    ScreenModel terminal_;
    std::string carry_;      // an escape sequence cut off at the end of the last bytes
    std::string pen_ = "0";  // parameters of the colours in force
    // The sequence just before, and whether it counts and has been found redundant already.
    struct Previous {
        Last kind = Last::other;
        bool counted = false;
        bool redundant = false;
    };

    Previous previous_;
    bool wrap_pending_ = false;  // the last character went into column 80
    SequenceCounts counts_;
};

}  // namespace kal::bench
