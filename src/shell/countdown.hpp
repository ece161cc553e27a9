#pragma once

namespace kal {

// Announces the coming question: the number of digits, the speed figure in "km", and a 3-2-1
// countdown with its sounds, 1000 - 70 x level ms per count; then blanks the announcement.
void announce_question(int digits, int speed);

}  // namespace kal
