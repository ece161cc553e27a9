// Any byte stream, split into reads at any moments, through the key decoder and the key state:
// only the game's keys and the known events come out, the same events however the bytes are
// split, and the decoder is always back on its feet once the stream has paused.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/key_decoder.hpp"
#include "console/key_state.hpp"

namespace {

using kal::InputEvent;
using kal::InputEvents;
using kal::KeyAction;
using kal::KeyDecoder;

struct Read {
    std::string bytes;
    std::uint64_t time_ms;
};

bool known_event(const InputEvent& event) {
    constexpr int k_max_report = 1'000'009;  // digits stop growing a number past 100000
    switch (event.kind) {
        case InputEvent::Kind::key:
            return (event.code == 32 || event.code == 37 || event.code == 39) &&
                   (event.action == KeyAction::press || event.action == KeyAction::repeat ||
                    event.action == KeyAction::release);
        case InputEvent::Kind::cursor_report:
            return event.row >= 0 && event.row <= k_max_report && event.column >= 0 &&
                   event.column <= k_max_report;
        case InputEvent::Kind::interrupt:
        case InputEvent::Kind::suspend:
        case InputEvent::Kind::kitty_flags:
        case InputEvent::Kind::device_attributes:
            return true;
        case InputEvent::Kind::text:
            return false;  // only while a line is typed
    }
    return false;
}

bool same(const InputEvent& a, const InputEvent& b) {
    return a.kind == b.kind && a.code == b.code && a.action == b.action && a.row == b.row &&
           a.column == b.column && a.time_ms == b.time_ms;
}

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::vector<Read> split_into_reads(FuzzedDataProvider& data) {
    std::vector<Read> reads;
    std::uint64_t time = 1000;
    while (data.remaining_bytes() > 0) {
        // A read of the console takes at most 64 bytes.
        const auto length = data.ConsumeIntegralInRange<std::size_t>(1, InputEvents::k_capacity);
        time += data.ConsumeIntegralInRange<std::uint64_t>(0, 150);
        reads.push_back({data.ConsumeBytesAsString(length), time});
    }
    return reads;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const bool exact = data.ConsumeBool();
    const std::vector<Read> reads = split_into_reads(data);

    KeyDecoder whole_reads;
    KeyDecoder byte_by_byte;
    kal::KeyStateTracker tracker;
    tracker.set_exact(exact);
    std::uint64_t last_time = 1000;
    for (const Read& read : reads) {
        InputEvents events;
        whole_reads.feed(read.bytes, read.time_ms, events);
        require(events.size() <= read.bytes.size());

        std::vector<InputEvent> single;
        for (const char byte : read.bytes) {
            InputEvents one;
            byte_by_byte.feed(std::string_view(&byte, 1), read.time_ms, one);
            single.insert(single.end(), one.begin(), one.end());
        }
        require(single.size() == events.size());
        for (std::size_t i = 0; i < events.size(); ++i) {
            require(known_event(events[i]));
            require(same(events[i], single[i]));
            tracker.apply(events[i]);
        }
        tracker.settle(read.time_ms);
        for (int code = 0; code < 256; ++code) {
            require(!tracker.down(code) || code == 32 || code == 37 || code == 39);
        }
        last_time = read.time_ms;
    }

    // Without releases from the terminal, a key never sticks: once the screen that did not
    // read them has ended, silence lets every key go up.
    if (!exact) {
        tracker.drop_unread();
        tracker.settle(last_time + kal::k_unread_press_ms);
        require(!tracker.down(32) && !tracker.down(37) && !tracker.down(39));
    }

    // Whatever came before, a pause as long as the escape timeout leaves the decoder ready: the
    // next Space reads as Space.
    const std::uint64_t later = last_time + KeyDecoder::k_escape_timeout_ms;
    whole_reads.timeout(later);
    InputEvents after;
    whole_reads.feed(" ", later, after);
    require(after.size() == 1 && after[0].kind == InputEvent::Kind::key && after[0].code == 32 &&
            after[0].action == KeyAction::press);
    return 0;
}
