#include "trace_log.hpp"

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace kal::bench {
namespace {

double number_at(std::string_view text, std::size_t pos) {
    return std::strtod(std::string(text.substr(pos, 32)).c_str(), nullptr);
}

// The number right after key in text, or nothing.
std::optional<double> number_after(std::string_view text, std::string_view key) {
    const std::size_t pos = text.find(key);
    if (pos == std::string_view::npos) {
        return std::nullopt;
    }
    return number_at(text, pos + key.size());
}

}  // namespace

// "  1064.398 (99.537 ms): kaleidron/28120 ppoll(ufds: 0x7ffe, nfds: 1, ...) = 0 (Timeout)"
// "    11.770 ( 0.022 ms): kaleidron/28120 write(fd: 1, buf: 0x5577, count: 32)        = 32"
std::optional<TracedCall> parse_trace_line(std::string_view line) {
    const std::size_t open = line.find('(');
    const std::size_t colon = line.find("): ");
    if (open == std::string_view::npos || colon == std::string_view::npos || colon < open) {
        return std::nullopt;
    }
    const std::string_view call = line.substr(colon + 3);
    const std::size_t name = call.find(' ');
    if (name == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view syscall = call.substr(name + 1);
    TracedCall traced;
    traced.at_ms = number_at(line, 0);
    traced.duration_ms = number_at(line, open + 1);
    if (syscall.starts_with("ppoll(")) {
        traced.kind = TracedCall::Kind::wait;
        return traced;
    }
    const std::optional<double> fd = number_after(syscall, "write(fd: ");
    const std::size_t result = syscall.rfind("= ");
    if (!fd || *fd != 1.0 || result == std::string_view::npos) {
        return std::nullopt;
    }
    traced.kind = TracedCall::Kind::write;
    traced.bytes = static_cast<std::int64_t>(number_at(syscall, result + 2));
    if (traced.bytes <= 0) {
        return std::nullopt;
    }
    return traced;
}

std::vector<TracedCall> read_trace_file(const std::string& path) {
    std::ifstream in(path);
    std::vector<TracedCall> calls;
    std::string line;
    while (std::getline(in, line)) {
        if (auto call = parse_trace_line(line)) {
            calls.push_back(*call);
        }
    }
    std::stable_sort(calls.begin(), calls.end(),
                     [](const TracedCall& a, const TracedCall& b) { return a.at_ms < b.at_ms; });
    return calls;
}

}  // namespace kal::bench
