#include "process_probe.hpp"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kal::bench {
namespace {

std::int64_t thread_cpu_ns() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

// The kernel adds a thread's time on the processor up when it leaves it: the sleep at the end
// makes the burnt time show in schedstat.
void burn_cpu(std::int64_t ns) {
    const std::int64_t until = thread_cpu_ns() + ns;
    while (thread_cpu_ns() < until) {
    }
    usleep(1000);
}

TEST(ProcessProbe, ReadsNamedFieldsOfTheKernelsTextFiles) {
    const std::string status = "Name:\tkaleidron\nVmPeak:\t  102652 kB\nVmHWM:\t   17484 kB\n";
    EXPECT_EQ(field_value(status, "VmHWM"), 17484);
    EXPECT_EQ(field_value(status, "VmPeak"), 102652);
    EXPECT_FALSE(field_value(status, "VmRSS"));
    EXPECT_FALSE(field_value(status, "Vm"));  // a name is matched whole
    EXPECT_EQ(field_value("syscr: 10\nsyscw: 3\n", "syscw"), 3);
}

TEST(ProcessProbe, CountsTheWritesAndBytesOfARunningProcess) {
    const ProcessSample before = sample_process(getpid());
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(null, 0);
    ASSERT_EQ(write(null, "0123456789", 10), 10);
    ASSERT_EQ(write(null, "0123456789", 10), 10);
    close(null);
    burn_cpu(5'000'000);
    const ProcessSample after = sample_process(getpid());
    EXPECT_EQ(after.write_calls - before.write_calls, 2);
    EXPECT_EQ(after.bytes_written - before.bytes_written, 20);
    EXPECT_GE(after.cpu_ns - before.cpu_ns, 5'000'000);
    EXPECT_GT(peak_resident_kib(getpid()), 0);
}

TEST(ProcessProbe, AProcessThatIsGoneReadsAsZero) {
    const pid_t gone = 0x7FFFFFF0;
    EXPECT_EQ(sample_process(gone).cpu_ns, 0);
    EXPECT_EQ(peak_resident_kib(gone), 0);
    EXPECT_EQ(child_of(gone), 0);
}

}  // namespace
}  // namespace kal::bench
