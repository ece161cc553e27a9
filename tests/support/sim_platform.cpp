#include "sim_platform.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "console/text.hpp"
#include "screen_reading.hpp"

namespace kal::test {
namespace {

std::string legacy_bytes(int key) {
    switch (key) {
        case 32:
            return " ";
        case 37:
            return "\x1b[D";
        default:
            return "\x1b[C";
    }
}

std::string kitty_bytes(int key, int event_type) {
    if (key == 32) {
        return event_type == 1 ? "\x1b[32u" : "\x1b[32;1:" + std::to_string(event_type) + "u";
    }
    const char final_byte = key == 37 ? 'D' : 'C';
    if (event_type == 1) {
        return std::string("\x1b[") + final_byte;
    }
    return "\x1b[1;1:" + std::to_string(event_type) + final_byte;
}

}  // namespace

std::uint32_t SimAudio::open_voice(std::string_view name, const PcmFormat& /*format*/,
                                   std::span<const std::uint8_t> /*samples*/, std::uint32_t loop) {
    if (absent) {
        return 0;
    }
    // Like OpenAL, the lowest free name is handed out again.
    std::uint32_t voice = 1;
    while (live.contains(voice)) {
        ++voice;
    }
    live[voice] = std::string(name);
    if (loop != 0) {
        loop_frames[voice] = loop;
    }
    record(AudioEvent::Kind::open, voice);
    return voice;
}

bool SimAudio::restart(std::uint32_t voice) {
    if (!live.contains(voice)) {
        return false;
    }
    record(AudioEvent::Kind::start, voice);
    return true;
}

bool SimAudio::stop(std::uint32_t voice) {
    if (!live.contains(voice)) {
        return false;
    }
    record(AudioEvent::Kind::stop, voice);
    return true;
}

void SimAudio::close(std::uint32_t voice) {
    if (live.contains(voice)) {
        record(AudioEvent::Kind::close, voice);
        live.erase(voice);
        loop_frames.erase(voice);
    }
}

void SimAudio::record(AudioEvent::Kind kind, std::uint32_t voice) {
    log.push_back({kind, live[voice], voice, clock_});
}

std::vector<std::uint64_t> SimAudio::starts_of(std::string_view name) const {
    std::vector<std::uint64_t> times;
    for (const AudioEvent& event : log) {
        if (event.kind == AudioEvent::Kind::start && event.name == name) {
            times.push_back(event.time_ms);
        }
    }
    return times;
}

std::size_t SimAudio::count(AudioEvent::Kind kind, std::string_view name) const {
    return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [&](const AudioEvent& e) {
        return e.kind == kind && e.name == name;
    }));
}

SimPlatform::SimPlatform() : screen_(make_sim_screen(*this)), audio_(now_) {}

SimPlatform::~SimPlatform() = default;

std::uint64_t SimPlatform::now_ms() {
    deliver_to_console();
    return now_;
}

void SimPlatform::deliver_to_console() {
    if (screen_->device() == nullptr) {
        return;
    }
    while (!input_.empty() && input_.begin()->first <= now_) {
        const SimInput& input = input_.begin()->second;
        if (input.key != 0) {
            screen_->put_key(input.key, input.down);
        } else {
            screen_->put_text(input.bytes);
        }
        input_.erase(input_.begin());
    }
}

void SimPlatform::wait_input(std::uint64_t deadline_ms) {
    for (const auto& look : looks_) {
        look(*this);
    }
    deliver_to_console();
    type_end_of_input_on_console();
    if ((!input_.empty() && input_.begin()->first <= now_) || screen_->input_waiting() ||
        (input_ended() && screen_->device() == nullptr)) {
        return;
    }
    std::uint64_t until = deadline_ms;
    if (!input_.empty()) {
        until = std::min(until, input_.begin()->first);
    }
    now_ = std::max(now_, until);
    deliver_to_console();
    if (now_ > limit_) {
        std::fprintf(stderr, "simulated game still running after %llu ms: hung\n",
                     static_cast<unsigned long long>(limit_));
        std::abort();
    }
}

std::size_t SimPlatform::read_input(std::span<char> buffer) {
    if (input_ended()) {
        buffer[0] = '\x04';  // an ended input reads as Ctrl-D while a line is read
        return 1;
    }
    std::size_t count = 0;
    while (!input_.empty() && input_.begin()->first <= now_) {
        std::string& bytes = input_.begin()->second.bytes;
        const std::size_t take = std::min(bytes.size(), buffer.size() - count);
        std::copy_n(bytes.begin(), take, buffer.begin() + static_cast<std::ptrdiff_t>(count));
        count += take;
        bytes.erase(0, take);
        if (!bytes.empty()) {
            break;
        }
        input_.erase(input_.begin());
    }
    return count;
}

void SimPlatform::write_output(std::string_view bytes) {
    ++writes;
    now_ += write_cost_ms_;
    written += bytes;
    screen_->write(bytes);
}

bool SimPlatform::take_redraw_request() {
    const bool redraw = redraw_;
    redraw_ = false;
    return redraw;
}

void SimPlatform::type_end_of_input_on_console() {
    if (screen_->device() != nullptr && input_ended() && !end_typed_) {
        screen_->put_text("\x04");
        end_typed_ = true;
    }
}

void SimPlatform::set_line_input(bool on) {
    line_input_ = on;
    end_typed_ = false;
    if (on && !lines_.empty()) {
        send(lines_.front() + "\r", now_);
        lines_.pop_front();
    }
}

void SimPlatform::discard_input() {
    deliver_to_console();
    screen_->discard_input();
    while (!input_.empty() && input_.begin()->first <= now_) {
        input_.erase(input_.begin());
    }
}

std::optional<JoystickPosition> SimPlatform::joystick(unsigned number) {
    const auto found = joysticks.find(number);
    if (found == joysticks.end()) {
        return {};
    }
    return found->second;
}

// On the console a key goes down, repeats while it is held and goes up, as Windows reports it.
void SimPlatform::press(int key, std::uint64_t at_ms) {
    if (screen_->device() != nullptr) {
        put(at_ms, SimInput{"", key, true});
    } else {
        send(kitty_ ? kitty_bytes(key, 1) : legacy_bytes(key), at_ms);
    }
    held_since_[key] = at_ms;
}

void SimPlatform::release(int key, std::uint64_t at_ms) {
    if (screen_->device() != nullptr) {
        if (held_since_.contains(key)) {
            auto_repeat(key, held_since_[key], at_ms);
        }
        put(at_ms, SimInput{"", key, false});
    } else if (kitty_) {
        send(kitty_bytes(key, 3), at_ms);
    } else if (held_since_.contains(key)) {
        auto_repeat(key, held_since_[key], at_ms);
    }
    held_since_.erase(key);
}

void SimPlatform::auto_repeat(int key, std::uint64_t from_ms, std::uint64_t until_ms) {
    for (std::uint64_t t = from_ms + repeat_delay_ms_; t < until_ms; t += repeat_interval_ms_) {
        if (screen_->device() != nullptr) {
            put(t, SimInput{"", key, true});
        } else {
            send(legacy_bytes(key), t);
        }
    }
}

void SimPlatform::tap(int key, std::uint64_t at_ms, std::uint64_t hold_ms) {
    press(key, at_ms);
    release(key, at_ms + hold_ms);
}

void SimPlatform::send(std::string bytes, std::uint64_t at_ms) {
    put(at_ms, SimInput{std::move(bytes)});
}

void SimPlatform::resize(int cols, int rows) {
    size_ = {cols, rows};
    redraw_ = true;
}

TermCell SimPlatform::cell(int x, int y) const {
    return screen_->cell(x, y);
}

std::string SimPlatform::text(int x, int y, int columns) const {
    std::string out;
    int column = x;
    while (column < x + columns && column <= 80) {
        const TermCell here = cell(column, y);
        if (here.text.empty()) {
            // The right half of a wide character read after its left half adds nothing; one
            // where the text starts, or a cell never written, reads as a blank.
            out += here.width == 0 && column != x ? "" : " ";
            ++column;
            continue;
        }
        std::size_t pos = 0;
        const char32_t ch = next_code_point(here.text, pos);
        out += here.text;
        // A wide character in code page 932 that the terminal drew narrow has a companion cell.
        column +=
            (cp932_width(ch) == 2 && is_ambiguous_width(ch) && here.width == 1) ? 2 : here.width;
    }
    return out;
}

bool SimPlatform::shows(std::string_view needle) const {
    for (int y = 1; y <= 25; ++y) {
        if (row(y).find(needle) != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool SimPlatform::shows_at(int x, int y, std::string_view text) const {
    return this->text(x, y, columns_of(text)) == text;
}

}  // namespace kal::test
