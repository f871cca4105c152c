// The C++ header and one of its encoders, linked from the installed library.
#include <pclxl.hpp>

#include <cstring>

namespace {
unsigned char last[8];
unsigned int last_length;
void keep(const void *data, unsigned int length, const void *) {
    last_length = length < sizeof last ? length : sizeof last;
    std::memcpy(last, data, last_length);
}
} // namespace

extern "C" int write_comment_with_cpp_encoders(void) {
    pclxl_init(nullptr, keep);
    _pclxl_set_operator(0x41); // BeginSession
    pclxl_init(nullptr, nullptr);
    return last_length == 1 && last[0] == 0x41;
}
