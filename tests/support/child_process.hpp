#pragma once

// Parts of a test that must run in a process of their own: under limits or a user that the
// test runner itself must not take on.

#include <cstdint>
#include <functional>
#include <vector>

namespace kal::test {

// Runs body in a forked child and hands back the numbers it reported, or nothing if the child
// died first.
std::vector<std::int32_t> in_child(const std::function<std::vector<std::int32_t>()>& body);

// For a child only: root may write any file, so a test of what a player may not write gives up
// root for the unprivileged user "nobody" (65534). False when that failed.
bool become_ordinary_player();

}  // namespace kal::test
