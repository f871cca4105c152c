#include "output.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace pclxl::pdf {

Output::Output(const JobOptions &options) : options_(options) {
    writer_ = pclxl_writer_new(this, collect);
    if (!writer_)
        throw std::bad_alloc();
    host_ = pclxl_writer_use(writer_);
    pclxl_set_message_handler(message, this);
}

Output::~Output() {
    pclxl_writer_use(host_);
    pclxl_writer_free(writer_);
}

void Output::flush() {
    constexpr size_t kChunk = size_t(1) << 20;
    pclxl_writer_use(host_);
    for (size_t at = 0; at < pending.size(); at += kChunk) {
        const size_t n = std::min(kChunk, pending.size() - at);
        pclxl_write_embed_data(pending.data() + at, static_cast<unsigned int>(n));
    }
    pclxl_writer_use(writer_);
    pending.clear();
}

void Output::collect(const void *buffer, unsigned int length, const void *context) {
    auto *out = static_cast<Output *>(const_cast<void *>(context));
    const auto *p = static_cast<const unsigned char *>(buffer);
    out->pending.insert(out->pending.end(), p, p + length);
}

// The library's trace lines are dropped; its warnings and errors are
// reported with --verbose.
void Output::message(const char *line, void *user) {
    const auto *out = static_cast<const Output *>(user);
    if (!out->options_.verbose || !out->options_.message ||
        (std::strncmp(line, "Warning", 7) && !std::strstr(line, "Fatal Error")))
        return;
    out->options_.message(line, out->options_.message_user);
}

} // namespace pclxl::pdf
