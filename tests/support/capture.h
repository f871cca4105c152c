// Test support: a sink that records every callback call as its own piece,
// and helpers to write expected bytes as hex.
#ifndef PCLXL_TESTS_CAPTURE_H
#define PCLXL_TESTS_CAPTURE_H

#include <functional>
#include <string>
#include <vector>

#include "pclxl.hpp"

namespace pclxl_test {

using Bytes = std::vector<unsigned char>;

// "C0 2C F8 4B" -> bytes (blanks are ignored), and back; a text's bytes.
Bytes hex(const std::string &text);
std::string to_hex(const Bytes &bytes);
Bytes bytes_of(const std::string &text);

// Installs itself as the library's sink for its lifetime and records each
// piece separately. Uninstalls (null callback) on destruction.
class Capture {
  public:
    Capture();
    ~Capture();
    Capture(const Capture &) = delete;
    Capture &operator=(const Capture &) = delete;

    const std::vector<Bytes> &pieces() const { return pieces_; }
    std::vector<std::string> hex_pieces() const;
    Bytes all() const;
    void clear() { pieces_.clear(); }

  private:
    static void on_write(const void *buffer, unsigned int length, const void *ctx);
    std::vector<Bytes> pieces_;
};

// Runs `fn` with stderr redirected, and returns what was written to it.
std::string capture_stderr(const std::function<void()> &fn);

} // namespace pclxl_test

#endif
