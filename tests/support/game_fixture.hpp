#pragma once

// A test that runs the game on the simulated platform: the console is bound to a fresh
// simulated terminal (kitty keyboard protocol, ambiguous characters narrow), every global of the
// game starts as at program start, and the working directory is a fresh temporary one.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "console/console.hpp"
#include "sim_platform.hpp"
#include "temp_directory.hpp"

namespace kal::test {

class GameTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Holds the key from at_ms for hold_ms, with press and release events.
    void tap(int key, std::uint64_t at_ms, std::uint64_t hold_ms = 60) {
        sim.tap(key, at_ms, hold_ms);
    }
    [[nodiscard]] std::uint64_t now() const { return const_cast<SimPlatform&>(sim).now_ms(); }
    // Whether the game draws on the system's console (Windows) rather than on a terminal: a
    // test of what only a terminal does is skipped there.
    [[nodiscard]] bool on_system_console() const { return sim.on_system_console(); }

    SimPlatform sim;
    std::filesystem::path work_dir;

private:
    std::optional<TempWorkingDirectory> scratch_;
};

}  // namespace kal::test
