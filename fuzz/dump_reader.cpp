// Property: the job reader takes any bytes without crashing or hanging,
// its heap use stays in proportion to the input, and reading from a file
// gives the same verdict as reading from memory.
#include <cstdio>
#include <string>

#include "fuzz_input.h"
#include "reader.h"

namespace {

// Heap watermark, sampled on every allocation while the reader runs. The
// hooks exist only with a sanitizer runtime; without one the bound is not
// checked.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void *,
                                                                             size_t),
                                                         void (*free_hook)(const volatile void *))
    __attribute__((weak));

size_t g_peak = 0;
void on_malloc(const volatile void *, size_t) {
    const size_t now = __sanitizer_get_current_allocated_bytes();
    if (now > g_peak)
        g_peak = now;
}

// Formats every command as the dump listing does, to run that code too.
class Formatter : public pclxl_reader::Listener {
  public:
    void command(const pclxl_reader::Command &c) override { length += format_command(c).size(); }
    void image_row(const pclxl_reader::ImageInfo &image, uint32_t, const uint8_t *p) override {
        if (image.row_bytes != 0)
            sum += p[0] + p[image.row_bytes - 1]; // the whole row must be readable
    }
    size_t length = 0;
    unsigned sum = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    if (__sanitizer_install_malloc_and_free_hooks != nullptr &&
        __sanitizer_get_current_allocated_bytes != nullptr)
        __sanitizer_install_malloc_and_free_hooks(on_malloc, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const bool measured = __sanitizer_get_current_allocated_bytes != nullptr;
    const size_t before = measured ? __sanitizer_get_current_allocated_bytes() : 0;
    g_peak = before;

    pclxl_reader::Source memory(data, size);
    Formatter listener;
    pclxl_reader::Summary summary;
    pclxl_reader::Error error;
    bool ok = pclxl_reader::read_job(memory, listener, summary, error);
    if (ok)
        ok = pclxl_reader::check_complete(summary, error);

    // A few rows of the widest image (3 x 65535 bytes each) and the
    // reader's fixed buffers, plus a share per input byte.
    const size_t bound = (4u << 20) + 64 * size;
    FUZZ_CHECK(!measured || g_peak - before <= bound, "%zu bytes of heap for %zu bytes of input",
               g_peak - before, size);
    FUZZ_CHECK(ok || !error.message.empty(), "rejected without a message");
    FUZZ_CHECK(error.offset <= size, "error offset %llu beyond the input of %zu bytes",
               static_cast<unsigned long long>(error.offset), size);

    std::FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (file != nullptr && size != 0) {
        pclxl_reader::Source stream(file);
        pclxl_reader::Listener quiet;
        pclxl_reader::Summary summary2;
        pclxl_reader::Error error2;
        const bool ok2 = pclxl_reader::read_job(stream, quiet, summary2, error2) &&
                         pclxl_reader::check_complete(summary2, error2);
        FUZZ_CHECK(ok == ok2 && error.offset == error2.offset && error.message == error2.message,
                   "memory: %d \"%s\"; file: %d \"%s\"", ok, error.message.c_str(), ok2,
                   error2.message.c_str());
    }
    if (file != nullptr)
        std::fclose(file);
    return 0;
}
