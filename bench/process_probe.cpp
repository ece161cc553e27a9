#include "process_probe.hpp"

#include <dirent.h>

#include <fstream>
#include <sstream>
#include <string>

namespace kal::bench {
namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::int64_t leading_number(const std::string& text) {
    try {
        return std::stoll(text);
    } catch (const std::exception&) {
        return 0;
    }
}

// schedstat holds the time on a processor, then the time waiting for one, in nanoseconds.
void add_thread_times(const std::string& schedstat, ProcessSample& sample) {
    std::istringstream fields(schedstat);
    std::int64_t on_cpu = 0;
    std::int64_t queued = 0;
    fields >> on_cpu >> queued;
    sample.cpu_ns += on_cpu;
    sample.queued_ns += queued;
}

void add_thread_times(pid_t pid, ProcessSample& sample) {
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* tasks = opendir(dir.c_str());
    if (tasks == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] != '.') {
            add_thread_times(read_file(dir + "/" + entry->d_name + "/schedstat"), sample);
        }
    }
    closedir(tasks);
}

// The parent pid, the fourth field of /proc/<pid>/stat, after the command name in brackets.
pid_t parent_of(const std::string& stat) {
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    pid_t parent = 0;
    fields >> state >> parent;
    return parent;
}

}  // namespace

std::optional<std::int64_t> field_value(std::string_view text, std::string_view name) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        const std::string_view line = text.substr(pos, end - pos);
        if (line.starts_with(name) && line.size() > name.size() && line[name.size()] == ':') {
            return leading_number(std::string(line.substr(name.size() + 1)));
        }
        pos = end + 1;
    }
    return std::nullopt;
}

ProcessSample sample_process(pid_t pid) {
    ProcessSample sample;
    add_thread_times(pid, sample);
    const std::string io = read_file("/proc/" + std::to_string(pid) + "/io");
    sample.write_calls = field_value(io, "syscw").value_or(0);
    sample.bytes_written = field_value(io, "wchar").value_or(0);
    return sample;
}

std::int64_t peak_resident_kib(pid_t pid) {
    return field_value(read_file("/proc/" + std::to_string(pid) + "/status"), "VmHWM").value_or(0);
}

int thread_count(pid_t pid) {
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* tasks = opendir(dir.c_str());
    if (tasks == nullptr) {
        return 0;
    }
    int count = 0;
    while (const dirent* entry = readdir(tasks)) {
        count += entry->d_name[0] != '.' ? 1 : 0;
    }
    closedir(tasks);
    return count;
}

pid_t child_of(pid_t pid) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return 0;
    }
    pid_t found = 0;
    while (const dirent* entry = readdir(proc)) {
        const std::string name = entry->d_name;
        if (found == 0 && !name.empty() &&
            name.find_first_not_of("0123456789") == std::string::npos &&
            parent_of(read_file("/proc/" + name + "/stat")) == pid) {
            found = static_cast<pid_t>(std::stoi(name));
        }
    }
    closedir(proc);
    return found;
}

}  // namespace kal::bench
