// Helpers shared by the fuzz targets: a reader that turns the fuzzer's
// bytes into values, a sink that collects the stream, and a check that
// aborts (so both libFuzzer and the replay programs report the input).
#ifndef PCLXL_FUZZ_INPUT_H
#define PCLXL_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace pclxl_fuzz {

// Aborts with a message when a property does not hold.
#define FUZZ_CHECK(cond, ...)                                                                      \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);       \
            std::fprintf(stderr, "  " __VA_ARGS__);                                                \
            std::fputc('\n', stderr);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// Consumes the input front to back. Once it is exhausted every read gives
// zeros, so a target never needs to check for the end in the middle of a
// structure; it checks empty() between structures.
class Input {
  public:
    Input(const uint8_t *data, size_t size) : p_(data), end_(data + size) {}

    bool empty() const { return p_ == end_; }
    size_t left() const { return static_cast<size_t>(end_ - p_); }

    uint8_t u8() { return p_ < end_ ? *p_++ : 0; }
    uint16_t u16() {
        const uint16_t lo = u8();
        return static_cast<uint16_t>(lo | u8() << 8);
    }
    uint32_t u32() {
        const uint32_t lo = u16();
        return lo | static_cast<uint32_t>(u16()) << 16;
    }
    bool flag() { return u8() & 1; }

    // A value in lo..hi (inclusive), from as few bytes as the range needs.
    int64_t range(int64_t lo, int64_t hi) {
        const uint64_t span = static_cast<uint64_t>(hi - lo);
        uint64_t v = 0;
        for (uint64_t s = span; s != 0; s >>= 8)
            v = v << 8 | u8();
        return lo + static_cast<int64_t>(span == UINT64_MAX ? v : v % (span + 1));
    }

    // Up to `max` bytes, the length taken from the input first. May hold
    // any byte, NUL included.
    std::vector<uint8_t> bytes(size_t max) {
        size_t n = static_cast<size_t>(range(0, static_cast<int64_t>(max)));
        if (n > left())
            n = left();
        std::vector<uint8_t> out(p_, p_ + n);
        p_ += n;
        return out;
    }

    // A text of up to `max` bytes without NUL (the library's texts are C
    // strings); any other byte may appear.
    std::string text(size_t max) {
        std::string s;
        for (uint8_t b : bytes(max))
            s.push_back(b == 0 ? '\x01' : static_cast<char>(b));
        return s;
    }

    // Fills `n` bytes: from the input while it lasts, then a pattern.
    std::vector<uint8_t> fill(size_t n) {
        std::vector<uint8_t> out(n);
        for (size_t i = 0; i < n; ++i)
            out[i] = p_ < end_ ? *p_++ : static_cast<uint8_t>(i * 37 + (i >> 8));
        return out;
    }

  private:
    const uint8_t *p_, *end_;
};

// Collects every piece the library hands to its callback.
struct Stream {
    std::vector<uint8_t> bytes;
    size_t pieces = 0;
    static void on_write(const void *buffer, unsigned int length, const void *ctx) {
        auto *self = static_cast<Stream *>(const_cast<void *>(ctx));
        const auto *b = static_cast<const uint8_t *>(buffer);
        self->bytes.insert(self->bytes.end(), b, b + length);
        ++self->pieces;
    }
};

// Sends the library's stderr lines into a temporary file while it lives,
// so that they can be checked; sanitizer reports and libFuzzer's messages
// still go to the real stderr.
class StderrCapture {
  public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;
    // What was written since the last call.
    std::string take();

  private:
    std::FILE *saved_ = nullptr;
    std::FILE *file_ = nullptr;
};

} // namespace pclxl_fuzz

#endif
