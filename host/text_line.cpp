#include "text_line.h"

#include <cctype>
#include <cstring>

namespace pclxl_host {

namespace {

// Blanks what would end a line or drive a terminal in text[0, n).
void clean(char *text, size_t n) {
    auto *s = reinterpret_cast<unsigned char *>(text);
    for (size_t i = 0; i < n; ++i) {
        if (s[i] < 0x20 || s[i] == 0x7F) {
            s[i] = ' ';
        } else if (s[i] == 0xC2 && i + 1 < n && s[i + 1] >= 0x80 && s[i + 1] <= 0x9F) {
            s[i] = s[i + 1] = ' '; // U+0080 to U+009F
            ++i;
        } else if (s[i] == 0xE2 && i + 2 < n && s[i + 1] == 0x80 &&
                   (s[i + 2] == 0xA8 || s[i + 2] == 0xA9)) {
            s[i] = s[i + 1] = s[i + 2] = ' '; // U+2028, U+2029
            i += 2;
        }
    }
}

} // namespace

void clean_text(char *text) {
    if (text)
        clean(text, std::strlen(text));
}

void clean_text(std::string &text) { clean(&text[0], text.size()); }

std::string one_line(const std::string &text, size_t max_bytes) {
    std::string out = text;
    if (out.size() > max_bytes) {
        constexpr size_t kMark = 3; // "..."
        size_t keep = max_bytes > kMark ? max_bytes - kMark : 0;
        // Back up over continuation bytes to the start of a sequence.
        while (keep > 0 && (static_cast<unsigned char>(out[keep]) & 0xC0) == 0x80)
            --keep;
        out.resize(keep);
        out += std::string("...").substr(0, max_bytes - keep);
    }
    clean_text(out);
    return out;
}

std::string one_line(const char *text, size_t max_bytes) {
    return one_line(std::string(text ? text : ""), max_bytes);
}

std::string trim(const std::string &text) {
    size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b])))
        b++;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1])))
        e--;
    return text.substr(b, e - b);
}

} // namespace pclxl_host
