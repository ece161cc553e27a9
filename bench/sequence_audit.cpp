#include "sequence_audit.hpp"

#include <cstdio>

namespace kal::bench {
namespace {

constexpr char k_escape = '\x1b';

bool is_csi_final(char byte) {
    return byte >= 0x40 && byte <= 0x7E;
}

// Length of the escape sequence at the start of bytes, or 0 when it is cut off.
std::size_t escape_length(std::string_view bytes) {
    if (bytes.size() < 2) {
        return 0;
    }
    if (bytes[1] != '[') {
        return 2;
    }
    for (std::size_t i = 2; i < bytes.size(); ++i) {
        if (is_csi_final(bytes[i])) {
            return i + 1;
        }
    }
    return 0;
}

// A colour set that starts from the defaults: it overrides whatever was set before.
bool resets(std::string_view params) {
    return params.empty() || params == "0" || params.starts_with("0;");
}

CursorPosition parse_move(std::string_view params) {
    CursorPosition to;
    if (std::sscanf(std::string(params).c_str(), "%d;%d", &to.y, &to.x) < 2) {
        to.x = 1;
    }
    return to;
}

}  // namespace

SequenceCounts& SequenceCounts::operator+=(const SequenceCounts& other) {
    cursor_moves += other.cursor_moves;
    colour_sets += other.colour_sets;
    overtaken_moves += other.overtaken_moves;
    overtaken_colours += other.overtaken_colours;
    idle_moves += other.idle_moves;
    idle_colours += other.idle_colours;
    return *this;
}

void SequenceAudit::feed(std::string_view bytes, bool counted) {
    std::string joined = carry_ + std::string(bytes);
    carry_.clear();
    std::string_view rest = joined;
    while (!rest.empty()) {
        if (rest.front() != k_escape) {
            const std::size_t end = rest.find(k_escape);
            on_text(rest.substr(0, end));
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
            continue;
        }
        const std::size_t length = escape_length(rest);
        if (length == 0) {
            carry_ = std::string(rest);
            return;
        }
        const std::string_view sequence = rest.substr(0, length);
        if (sequence[1] == '[') {
            on_csi(sequence, counted);
        } else {
            terminal_.feed(sequence);
            previous_ = {};
        }
        rest.remove_prefix(length);
    }
}

SequenceCounts SequenceAudit::take_counts() {
    const SequenceCounts counts = counts_;
    counts_ = {};
    return counts;
}

void SequenceAudit::on_text(std::string_view text) {
    terminal_.feed(text);
    previous_ = {Last::text, false, false};
    wrap_pending_ = terminal_.cursor().x == k_columns;
}

void SequenceAudit::on_csi(std::string_view sequence, bool counted) {
    const char final_byte = sequence.back();
    const std::string_view params = sequence.substr(2, sequence.size() - 3);
    if (final_byte == 'H') {
        on_move(params, counted);
    } else if (final_byte == 'm') {
        on_colour(params, counted);
    } else {
        previous_ = {};
        wrap_pending_ = false;
    }
    terminal_.feed(sequence);
}

void SequenceAudit::on_move(std::string_view params, bool counted) {
    const CursorPosition to = parse_move(params);
    const CursorPosition at = terminal_.cursor();
    bool redundant = false;
    if (counted) {
        ++counts_.cursor_moves;
        redundant = !wrap_pending_ && at.x == to.x && at.y == to.y;
        counts_.idle_moves += redundant ? 1 : 0;
        if (previous_.kind == Last::move && previous_.counted && !previous_.redundant) {
            ++counts_.overtaken_moves;
        }
    }
    previous_ = {Last::move, counted, redundant};
    wrap_pending_ = false;
}

void SequenceAudit::on_colour(std::string_view params, bool counted) {
    const std::string pen = params.empty() ? std::string("0") : std::string(params);
    bool redundant = false;
    if (counted) {
        ++counts_.colour_sets;
        redundant = pen == pen_;
        counts_.idle_colours += redundant ? 1 : 0;
        if (previous_.kind == Last::colour && previous_.counted && !previous_.redundant &&
            resets(params)) {
            ++counts_.overtaken_colours;
        }
    }
    pen_ = resets(params) ? pen : pen_ + ";" + pen;
    previous_ = {Last::colour, counted, redundant};
}

}  // namespace kal::bench
