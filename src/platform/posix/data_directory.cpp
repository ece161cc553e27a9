#include "platform/data_directory.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace kal {
namespace {

constexpr const char* k_folder_name = "kaleidron";
constexpr mode_t k_private_folder = 0700;

// An absolute path from the variable, or an empty one when it is unset, empty or relative.
std::filesystem::path absolute_from(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr) {
        return {};
    }
    std::filesystem::path path(value);
    return path.is_absolute() ? path : std::filesystem::path{};
}

std::filesystem::path home_directory() {
    std::filesystem::path home = absolute_from("HOME");
    if (!home.empty()) {
        return home;
    }
    const passwd* entry = ::getpwuid(::getuid());
    if (entry != nullptr && entry->pw_dir != nullptr) {
        home = entry->pw_dir;
    }
    return home.is_absolute() ? home : std::filesystem::path{};
}

std::filesystem::path per_user_directory() {
    const std::filesystem::path data_home = absolute_from("XDG_DATA_HOME");
    if (!data_home.empty()) {
        return data_home / k_folder_name;
    }
    const std::filesystem::path home = home_directory();
    if (home.empty()) {
        return {};
    }
    return home / ".local" / "share" / k_folder_name;
}

bool is_folder(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

}  // namespace

std::filesystem::path data_directory(DataHome home) {
    return home == DataHome::per_user ? per_user_directory() : std::filesystem::path{};
}

bool make_data_directory(const std::filesystem::path& directory) {
    if (directory.empty()) {
        return true;
    }
    std::filesystem::path partial;
    for (const std::filesystem::path& part : directory) {
        partial /= part;
        // A folder that is there already may refuse mkdir for other reasons than being there.
        if (::mkdir(partial.c_str(), k_private_folder) != 0 && !is_folder(partial)) {
            return false;
        }
    }
    return is_folder(directory);
}

}  // namespace kal
