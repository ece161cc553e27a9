#pragma once

// A console back-end that hands everything to another: the tests watch a real back-end by
// overriding what they look at (most often flush) and calling this one's.

#include "console/backend.hpp"

namespace kal::test {

class ForwardingBackend : public ConsoleBackend {
public:
    explicit ForwardingBackend(ConsoleBackend& backend) : backend_(backend) {}

    void start() override { backend_.start(); }
    bool query(const Frame& frame) override { return backend_.query(frame); }
    [[nodiscard]] const TerminalTraits& traits() const override { return backend_.traits(); }
    void set_traits(const TerminalTraits& traits) override { backend_.set_traits(traits); }
    [[nodiscard]] bool exact_keys() const override { return backend_.exact_keys(); }
    void colour_set() override { backend_.colour_set(); }
    void moved() override { backend_.moved(); }
    void cursor_changed(const CursorInfo& cursor) override { backend_.cursor_changed(cursor); }
    void put(ScreenBuffer& screen, int x, int y, char32_t ch, int width, int fg, int bg) override {
        backend_.put(screen, x, y, ch, width, fg, bg);
    }
    bool clear(int fg, int bg) override { return backend_.clear(fg, bg); }
    void flush(const Frame& frame) override { backend_.flush(frame); }
    [[nodiscard]] bool covered() const override { return backend_.covered(); }
    bool read_events(InputEvents& out, std::uint64_t time_ms) override {
        return backend_.read_events(out, time_ms);
    }
    void begin_line() override { backend_.begin_line(); }
    void end_line() override { backend_.end_line(); }

private:
    ConsoleBackend& backend_;
};

}  // namespace kal::test
