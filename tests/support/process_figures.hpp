#pragma once

// What the test process holds: resident memory, heap in use and open file descriptors, read
// before and after a long run to see that nothing grows.

#include <malloc.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

#if defined(__SANITIZE_ADDRESS__)
#define KALEIDRON_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KALEIDRON_ASAN 1
#endif
#endif

#if defined(KALEIDRON_ASAN)
// From the sanitizer runtime; not every compiler ships the header that declares it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace kal::test {

// Under AddressSanitizer freed memory sits in quarantine and resident memory says little;
// its own leak check at exit takes over there.
inline constexpr bool k_memory_figures_meaningful =
#if defined(KALEIDRON_ASAN)
    false;
#else
    true;
#endif

inline std::size_t resident_kib() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    std::size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) / 1024U;
}

inline std::size_t heap_in_use_bytes() {
#if defined(KALEIDRON_ASAN)
    return __sanitizer_get_current_allocated_bytes();
#else
    // Large blocks live in mappings of their own, outside the arena's count.
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

inline std::size_t open_descriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

// The long runs (10,000 menu round trips, 100 games) when KALEIDRON_SOAK=full, else a short
// run that fits in a test suite.
inline bool full_soak() {
    const char* soak = std::getenv("KALEIDRON_SOAK");
    return soak != nullptr && std::string_view(soak) == "full";
}

}  // namespace kal::test
