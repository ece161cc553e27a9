#include "console/backends/byte_input.hpp"

#include <array>
#include <string_view>

namespace kal {
namespace {

bool is_answer(const InputEvent& event) {
    return event.kind == InputEvent::Kind::kitty_flags ||
           event.kind == InputEvent::Kind::cursor_report ||
           event.kind == InputEvent::Kind::device_attributes;
}

}  // namespace

bool ByteInput::read(InputEvents& keys, InputEvents& answers, std::uint64_t time_ms) {
    std::array<char, InputEvents::k_capacity> buffer{};
    const std::size_t count = platform_.read_input(buffer);
    if (count == 0) {
        decoder_.timeout(time_ms);
        return false;
    }
    InputEvents decoded;
    decoder_.feed(std::string_view(buffer.data(), count), time_ms, decoded);
    for (const InputEvent& event : decoded) {
        (is_answer(event) ? answers : keys).push(event);
    }
    return true;
}

}  // namespace kal
