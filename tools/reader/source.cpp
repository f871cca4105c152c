#include <algorithm>
#include <cstring>

#include "reader.h"

namespace pclxl_reader {

namespace {
constexpr size_t kBufferBytes = 1 << 16;
}

Source::Source(std::FILE *file) : file_(file), buffer_(kBufferBytes) {}

Source::Source(const void *data, size_t size)
    : data_(static_cast<const uint8_t *>(data)), len_(size) {}

bool Source::fill() {
    if (!file_)
        return false;
    base_ += len_;
    pos_ = 0;
    len_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    data_ = buffer_.data();
    return len_ > 0;
}

int Source::get() {
    if (pos_ == len_ && !fill())
        return -1;
    return data_[pos_++];
}

int Source::peek() {
    if (pos_ == len_ && !fill())
        return -1;
    return data_[pos_];
}

size_t Source::read(uint8_t *out, size_t n) {
    size_t got = 0;
    while (got < n) {
        if (pos_ == len_ && !fill())
            break;
        const size_t k = std::min(n - got, len_ - pos_);
        std::memcpy(out + got, data_ + pos_, k);
        pos_ += k;
        got += k;
    }
    return got;
}

} // namespace pclxl_reader
