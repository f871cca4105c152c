// The C++ header and one of its encoders, linked from the installed library.
#include <pclxl.hpp>

namespace {
unsigned char last;
void keep(const void *data, unsigned int length, const void *) {
    last = length == 1 ? *static_cast<const unsigned char *>(data) : 0;
}
} // namespace

extern "C" int write_operator_with_cpp_encoders(void) {
    pclxl_init(nullptr, keep);
    _pclxl_set_operator(0x41); // BeginSession
    pclxl_init(nullptr, nullptr);
    return last == 0x41;
}
