// Byte-order helpers: fixed-order reads and stores at any byte address,
// independent of the machine's own order and alignment.
#include "pclxl.hpp"

namespace {
const unsigned char *bytes(const void *p) { return static_cast<const unsigned char *>(p); }
unsigned char *bytes(void *p) { return static_cast<unsigned char *>(p); }

// The exported functions share these rather than calling one another.
uint32_t get32le(const void *p) {
    const unsigned char *b = bytes(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
void set16le(void *p, unsigned int value) {
    bytes(p)[0] = static_cast<unsigned char>(value);
    bytes(p)[1] = static_cast<unsigned char>(value >> 8);
}
uint16_t get16be(const void *p) { return static_cast<uint16_t>(bytes(p)[0] << 8 | bytes(p)[1]); }
void set16be(void *p, unsigned int value) {
    bytes(p)[0] = static_cast<unsigned char>(value >> 8);
    bytes(p)[1] = static_cast<unsigned char>(value);
}
} // namespace

extern "C" {

uint16_t pbGetUInt16(const void *p) {
    return static_cast<uint16_t>(bytes(p)[0] | bytes(p)[1] << 8);
}

uint32_t pbGetUInt32(const void *p) { return get32le(p); }

int32_t pbGetInt32(const void *p) {
    uint32_t v = get32le(p);
    if (!(v & 0x80000000u))
        return static_cast<int32_t>(v);
    // Negative: rebuild from the magnitude's low 31 bits. This is v itself
    // for every negative value except 0x80000000, whose magnitude has no low
    // bits set and so reads as 0.
    uint32_t magnitude = (0u - v) & 0x7FFFFFFFu;
    return -static_cast<int32_t>(magnitude);
}

void pbSetUInt16(void *p, unsigned int value) { set16le(p, value); }

void pbSetUInt32(void *p, uint32_t value) {
    set16le(p, value & 0xFFFF);
    set16le(bytes(p) + 2, value >> 16);
}

uint16_t pbBigGetUInt16(const void *p) { return get16be(p); }

uint32_t pbBigGetUInt32(const void *p) {
    return uint32_t(get16be(p)) << 16 | get16be(bytes(p) + 2);
}

void pbBigSetUInt16(void *p, unsigned int value) { set16be(p, value); }

void pbBigSetUInt32(void *p, uint32_t value) {
    set16be(p, value >> 16);
    set16be(bytes(p) + 2, value & 0xFFFF);
}

} // extern "C"

unsigned short TranslMotorolaWord(unsigned short value) {
    return static_cast<unsigned short>((value & 0xFF) << 8 | value >> 8);
}

unsigned int TranslMotorolaLong(unsigned int value) {
    return (value & 0xFFu) << 24 | (value & 0xFF00u) << 8 | (value & 0xFF0000u) >> 8 | value >> 24;
}

void WordStr2ByteStr(unsigned char *dst, short *src, int count) {
    for (int i = 0; i < count; ++i)
        dst[i] = static_cast<unsigned char>(src[i]);
}
