#include "fuzz_input.h"

#include <unistd.h>

namespace pclxl_fuzz {

// The library writes its lines through the C stream `stderr`; pointing that
// stream at a file captures them, while sanitizer reports and libFuzzer's
// own messages (written to descriptor 2 and to libFuzzer's saved stream)
// still reach the terminal. One file serves the whole run.
static std::FILE *capture_file() {
    static std::FILE *file = std::tmpfile();
    return file;
}

StderrCapture::StderrCapture() {
    file_ = capture_file();
    if (file_ == nullptr)
        std::abort();
    saved_ = stderr;
    stderr = file_;
    take();
}

StderrCapture::~StderrCapture() { stderr = saved_; }

std::string StderrCapture::take() {
    std::fflush(file_);
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
