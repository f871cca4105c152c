// The C++ header and one of its encoders, linked from the installed library.
#include <pclxl.hpp>

static unsigned char last;

extern "C" int write_operator_with_cpp_encoders(void) {
    pclxl_init(nullptr, [](const void *data, unsigned int length, const void *) {
        last = length == 1 ? *static_cast<const unsigned char *>(data) : 0;
    });
    _pclxl_set_operator(0x41); // BeginSession
    pclxl_init(nullptr, nullptr);
    return last == 0x41;
}
