#include "document_format.h"

#include <cstring>

namespace pclxl_app {

bool looks_like_text(const unsigned char *data, size_t size) {
    if (size == 0)
        return false;
    size_t i = 0;
    while (i < size) {
        const unsigned char c = data[i];
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f')
                return false;
            if (c == 0x7f)
                return false;
            i++;
            continue;
        }
        const size_t length = c >= 0xf0 && c <= 0xf4   ? 4
                              : c >= 0xe0 && c <= 0xef ? 3
                              : c >= 0xc2 && c <= 0xdf ? 2
                                                       : 0;
        if (length == 0)
            return false;
        for (size_t k = 1; k < length; k++) {
            if (i + k == size)
                return true; // cut inside the last character
            if ((data[i + k] & 0xc0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

bool looks_like_pdf(const unsigned char *data, size_t size) {
    const size_t end = size < 1024 ? size : 1024;
    for (size_t i = 0; i + 5 <= end; i++)
        if (!std::memcmp(data + i, "%PDF-", 5))
            return true;
    return false;
}

} // namespace pclxl_app
