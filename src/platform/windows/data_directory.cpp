#include <cstdlib>
#include <system_error>

#include "platform/data_directory.hpp"

namespace kal {
namespace {

constexpr const wchar_t* k_folder_name = L"kaleidron";

}  // namespace

// On Windows a player's own data lives in %APPDATA%; without it, the working directory.
std::filesystem::path data_directory(DataHome home) {
    if (home == DataHome::working_directory) {
        return {};
    }
    const wchar_t* app_data = _wgetenv(L"APPDATA");
    if (app_data == nullptr) {
        return {};
    }
    const std::filesystem::path folder(app_data);
    return folder.is_absolute() ? folder / k_folder_name : std::filesystem::path{};
}

// Folders under %APPDATA% are the player's alone already.
bool make_data_directory(const std::filesystem::path& directory) {
    if (directory.empty()) {
        return true;
    }
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    return std::filesystem::is_directory(directory, error);
}

}  // namespace kal
