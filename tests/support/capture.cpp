#include "capture.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace pclxl_test {

Bytes hex(const std::string &text) {
    Bytes out;
    int nibbles = 0, value = 0;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        value = value * 16 + (std::isdigit(static_cast<unsigned char>(c))
                                  ? c - '0'
                                  : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
        if (++nibbles == 2) {
            out.push_back(static_cast<unsigned char>(value));
            nibbles = value = 0;
        }
    }
    if (nibbles != 0)
        std::abort(); // odd number of hex digits in a test's expectation
    return out;
}

std::string to_hex(const Bytes &bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (unsigned char b : bytes) {
        if (!s.empty())
            s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

Bytes bytes_of(const std::string &text) { return Bytes(text.begin(), text.end()); }

Capture::Capture() { pclxl_init(this, &Capture::on_write); }
Capture::~Capture() { pclxl_init(nullptr, nullptr); }

void Capture::on_write(const void *buffer, unsigned int length, const void *ctx) {
    auto *self = static_cast<Capture *>(const_cast<void *>(ctx));
    const auto *b = static_cast<const unsigned char *>(buffer);
    self->pieces_.emplace_back(b, b + length);
}

std::vector<std::string> Capture::hex_pieces() const {
    std::vector<std::string> out;
    for (const Bytes &p : pieces_)
        out.push_back(to_hex(p));
    return out;
}

Bytes Capture::all() const {
    Bytes out;
    for (const Bytes &p : pieces_)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string capture_stderr(const std::function<void()> &fn) {
    std::fflush(stderr);
    char path[] = "/tmp/pclxl-stderr-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        std::abort();
    unlink(path);
    int saved = dup(STDERR_FILENO);
    dup2(fd, STDERR_FILENO);
    fn();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::string text;
    lseek(fd, 0, SEEK_SET);
    char buf[4096];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<size_t>(n));
    close(fd);
    return text;
}

} // namespace pclxl_test
