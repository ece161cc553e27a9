#pragma once

// A small file replaced whole, so that a crash, a kill or a power cut at any moment leaves
// either the old contents or the new ones on disk, never a torn file: the ranking.

#include <cstdint>
#include <span>
#include <string>

namespace kal {

// Writes bytes as the new contents of the file at path. They go to a temporary file beside it,
// which is flushed to disk and then takes the file's place. A file that is a symbolic link is
// updated where it points, and stays a link. Where no temporary can be made beside it but the
// file itself may be written (a folder the player may not write), the file is rewritten where
// it stands instead: all its bytes in one write, then flushed. A file that exists but may not
// be written, or that is not a regular file, is left alone, and so is the file on any failure
// on the way. True when the file holds the bytes afterwards.
bool replace_file(const std::string& path, std::span<const std::uint8_t> bytes);

// Removes the temporaries of replace_file that a kill left beside the file: only regular files
// of ours by their name, owner and size (at most largest_size bytes), once they are more than
// a minute old. Anything else is the player's and stays.
void remove_stale_temporaries(const std::string& path, std::uint64_t largest_size);

}  // namespace kal
