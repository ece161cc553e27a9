#pragma once

// Keys that come as bytes through the platform: a terminal's, or those of a file or a pipe the
// game was given as its standard input. Each back-end that reads bytes reads them here, through
// the key decoder, and gets the answers to the start-up queries apart from the keys.

#include <cstdint>

#include "console/key_decoder.hpp"
#include "platform/platform.hpp"

namespace kal {

class ByteInput {
public:
    explicit ByteInput(Platform& platform) : platform_(platform) {}

    // Takes the bytes that wait and decodes them, stamped with time_ms: the answers to the
    // start-up queries go to answers, every other event to keys, each in the order it came.
    // False when no byte came; the time then passes for the decoder, so that a lone ESC ends.
    bool read(InputEvents& keys, InputEvents& answers, std::uint64_t time_ms);
    void reset() { decoder_.reset(); }
    // While a line is typed, the bytes outside sequences come as the characters they type.
    void set_text_mode(bool text) { decoder_.set_text_mode(text); }

private:
    Platform& platform_;
    KeyDecoder decoder_;
};

}  // namespace kal
