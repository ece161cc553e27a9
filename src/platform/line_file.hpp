#pragma once

// A text file that grows by whole lines, one line per event, and is read back whole: the
// training history. Appending and reading are the platform's business (how a write is made
// atomic, what stops a read from hanging), so both live at the seam.

#include <cstdint>
#include <string>
#include <string_view>

namespace kal {

// Appends line, which ends with a line end, to the file at path in a single write to the end
// of the file, then flushes it to disk. The file is created when it does not exist. When the
// file is empty, header goes first in the same write; when it does not end with a line end (a
// line cut short by a crash, or a hand edit), a line end goes first, so that the new line
// stands on its own. Never blocks on something that is not a regular file, never ends the
// program on a file-size limit. False when nothing could be written or the write fell short.
bool append_line(const std::string& path, std::string_view header, std::string_view line);

enum class LineFileRead : std::uint8_t {
    read,        // contents holds the whole file
    missing,     // nothing of that name
    unreadable,  // a folder, something else that is not a regular file, or no permission
};

// Reads the whole of a regular file into contents.
LineFileRead read_line_file(const std::string& path, std::string& contents);

}  // namespace kal
