#pragma once

// The simulated terminal with the test's hand on it: before every wait of the game the test
// may look at the screen, press keys or change the terminal, as a player or the world would
// while the game runs.

#include <functional>
#include <utility>
#include <vector>

#include "sim_platform.hpp"

namespace kal::test {

class WatchedTerminal final : public Platform {
public:
    explicit WatchedTerminal(SimPlatform& sim) : sim_(sim) {}

    // Sound goes to this device instead of the simulation's.
    void use_audio(AudioDevice& audio) { audio_ = &audio; }
    // Each runs before every wait of the game, in the order added.
    void before_each_wait(std::function<void()> hook) { hooks_.push_back(std::move(hook)); }
    void clear_hooks() { hooks_.clear(); }
    // The terminal's back-end over this platform, to attach the console with.
    ConsoleBackend& terminal() { return terminal_; }

    std::uint64_t now_ms() override { return sim_.now_ms(); }
    std::time_t calendar_time() override { return sim_.calendar_time(); }
    unsigned random_seed() override { return sim_.random_seed(); }
    void wait_input(std::uint64_t deadline_ms) override {
        for (const auto& hook : hooks_) {
            hook();
        }
        sim_.wait_input(deadline_ms);
    }
    std::size_t read_input(std::span<char> buffer) override { return sim_.read_input(buffer); }
    void write_output(std::string_view bytes) override { sim_.write_output(bytes); }
    TermSize terminal_size() override { return sim_.terminal_size(); }
    bool take_redraw_request() override { return sim_.take_redraw_request(); }
    void set_keyboard_protocol(bool pushed) override { sim_.set_keyboard_protocol(pushed); }
    void set_line_input(bool on) override { sim_.set_line_input(on); }
    void discard_input() override { sim_.discard_input(); }
    void interrupt() override { sim_.interrupt(); }
    void suspend() override { sim_.suspend(); }
    AudioDevice& audio() override { return audio_ != nullptr ? *audio_ : sim_.audio(); }

private:
    SimPlatform& sim_;
    AudioDevice* audio_ = nullptr;
    std::vector<std::function<void()>> hooks_;
    TerminalBackend terminal_{*this};
};

}  // namespace kal::test
