#include "fuzz_input.h"

#include <cstdint>
#include <unistd.h>

// Present when a sanitizer runtime is linked; weak so that the plain
// replay build links without one.
extern "C" void __sanitizer_set_report_fd(void *fd) __attribute__((weak));

namespace pclxl_fuzz {

// One file for the whole run: a fuzzer makes a capture per input.
static std::FILE *capture_file() {
    static std::FILE *file = std::tmpfile();
    return file;
}

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    file_ = capture_file();
    saved_ = dup(2);
    if (file_ == nullptr || saved_ < 0 || dup2(fileno(file_), 2) < 0)
        std::abort();
    take();
    if (__sanitizer_set_report_fd != nullptr)
        __sanitizer_set_report_fd(reinterpret_cast<void *>(static_cast<intptr_t>(saved_)));
}

StderrCapture::~StderrCapture() {
    std::fflush(stderr);
    dup2(saved_, 2);
    if (__sanitizer_set_report_fd != nullptr)
        __sanitizer_set_report_fd(reinterpret_cast<void *>(static_cast<intptr_t>(2)));
    close(saved_);
}

std::string StderrCapture::take() {
    std::fflush(stderr);
    std::string out;
    std::rewind(file_);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0)
        out.append(buf, n);
    std::rewind(file_);
    if (ftruncate(fileno(file_), 0) != 0)
        std::abort();
    return out;
}

} // namespace pclxl_fuzz
