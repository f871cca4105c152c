#include "capture.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace pclxl_test {

Bytes hex(const std::string &text) {
    std::string digits;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            digits += c;
    if (digits.size() % 2 != 0)
        std::abort(); // odd number of hex digits in a test's expectation
    Bytes out;
    for (size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

std::string to_hex(const Bytes &bytes) {
    std::string s;
    char two[4];
    for (unsigned char b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        s += (s.empty() ? "" : " ") + std::string(two);
    }
    return s;
}

Bytes bytes_of(const std::string &text) { return Bytes(text.begin(), text.end()); }

Capture::Capture() { pclxl_init(this, &Capture::on_write); }
Capture::~Capture() { pclxl_init(nullptr, nullptr); }

void Capture::on_write(const void *buffer, unsigned int length, const void *ctx) {
    const auto *b = static_cast<const unsigned char *>(buffer);
    static_cast<Capture *>(const_cast<void *>(ctx))->pieces_.emplace_back(b, b + length);
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
    FILE *file = std::tmpfile();
    if (file == nullptr)
        std::abort();
    const int saved = dup(STDERR_FILENO);
    dup2(fileno(file), STDERR_FILENO);
    fn();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::string text;
    std::rewind(file);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, file)) > 0;)
        text.append(buf, n);
    std::fclose(file);
    return text;
}

} // namespace pclxl_test
