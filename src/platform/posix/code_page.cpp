#include <iconv.h>

#include <array>
#include <cerrno>

#include "platform/code_page.hpp"

namespace kal {
namespace {

// One conversion descriptor per direction for the whole run.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != invalid()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole of in, appending to out; false when any of it cannot be converted.
    bool convert(std::string_view in, std::string& out) {
        if (cd_ == invalid()) {
            return false;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::array<char, 64> buffer{};
        // iconv's interface takes a non-const input pointer but does not write through it.
        char* in_ptr = const_cast<char*>(in.data());
        std::size_t in_left = in.size();
        while (in_left > 0) {
            char* out_ptr = buffer.data();
            std::size_t out_left = buffer.size();
            const std::size_t result = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
            out.append(buffer.data(), buffer.size() - out_left);
            if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
                return false;
            }
        }
        return true;
    }

private:
    // iconv_open's failure value, which the iconv API defines as a pointer made from -1.
    static iconv_t invalid() {
        return reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
    }
    iconv_t cd_;
};

}  // namespace

bool cp932_to_utf8_bytes(std::string_view bytes, std::string& out) {
    static Converter decoder("UTF-8", "CP932");
    return decoder.convert(bytes, out);
}

bool utf8_to_cp932_bytes(std::string_view text, std::string& out) {
    static Converter encoder("CP932", "UTF-8");
    return encoder.convert(text, out);
}

}  // namespace kal
