#include "platform/data_directory.hpp"

namespace kal {

DataHome build_data_home() {
    return KALEIDRON_USER_DATA != 0 ? DataHome::per_user : DataHome::working_directory;
}

}  // namespace kal
