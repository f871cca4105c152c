// Little helpers that lay integers into a piece being built, least
// significant byte first (the stream's byte order), whatever the machine's.
#ifndef PCLXL_STREAM_PUT_H
#define PCLXL_STREAM_PUT_H

#include <cstdint>

namespace pclxl {

inline unsigned char *put8(unsigned char *p, uint32_t v) {
    *p++ = static_cast<unsigned char>(v);
    return p;
}

inline unsigned char *put16le(unsigned char *p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    return p + 2;
}

inline unsigned char *put32le(unsigned char *p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
    return p + 4;
}

inline unsigned char *put16be(unsigned char *p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v);
    return p + 2;
}

inline unsigned char *put32be(unsigned char *p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
    return p + 4;
}

// Attribute suffix: the attribute tag and the one-byte id.
inline unsigned char *put_attr(unsigned char *p, unsigned char id) {
    p[0] = 0xF8;
    p[1] = id;
    return p + 2;
}

} // namespace pclxl

#endif
