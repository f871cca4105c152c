// The output sink: the only way out for every byte of the stream. Each piece
// goes straight to the host's callback, on the caller's stack; nothing is
// buffered, so flushing and closing have nothing to do.
#include <cstdio>

#include "pclxl.hpp"

pclxl_write_fn gDataOut = nullptr;
const void *g_data_out_ctx = nullptr;

int _dev_write_init(void const *context, pclxl_write_fn callback) {
    gDataOut = callback;
    g_data_out_ctx = context;
    return 1;
}

bool _dev_write(void *buffer, unsigned int length) {
    if (buffer != nullptr && length != 0) {
        if (gDataOut == nullptr)
            return false;
        gDataOut(buffer, length, g_data_out_ctx);
        return true;
    }
    if (length == 0)
        std::fprintf(stderr, "%s(): outBufferLen == 0.\n", "_dev_write");
    if (buffer == nullptr)
        std::fprintf(stderr, "%s(): outBuffer== NULL.\n", "_dev_write");
    return false;
}

void _dev_write_flush() {}
void _dev_write_exit() {}

extern "C" {

int pclxl_init(const void *context, pclxl_write_fn callback) {
    return _dev_write_init(context, callback);
}

void pclxl_exit(void) { _dev_write_exit(); }

void pclxl_flush_prn_file(void) { _dev_write_flush(); }

} // extern "C"
