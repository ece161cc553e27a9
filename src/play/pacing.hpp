#pragma once

// The three ways normal mode lets time pass. Every one of them is a busy wait on the clock
// with the stage music serviced around it, so the music keeps looping through every pause.

namespace kal {

// A wait of ms milliseconds.
void wait_ms(int ms);
// One call of the music with the current stage's track (stage 1 is "stage1.wav").
void music_tick();
// times x (music tick, wait of ms), then one more music tick.
void paced_pause(int times, int ms);

}  // namespace kal
