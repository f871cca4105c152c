// Byte-order helpers: fixed-order reads and stores at any byte address,
// independent of the machine's own order and alignment.
#include "pclxl.hpp"

namespace {
const unsigned char *bytes(const void *p) { return static_cast<const unsigned char *>(p); }
unsigned char *bytes(void *p) { return static_cast<unsigned char *>(p); }
} // namespace

extern "C" {

uint16_t pbGetUInt16(const void *p) {
    return static_cast<uint16_t>(bytes(p)[0] | bytes(p)[1] << 8);
}

uint32_t pbGetUInt32(const void *p) {
    const unsigned char *b = bytes(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

int32_t pbGetInt32(const void *p) {
    uint32_t v = pbGetUInt32(p);
    if (!(v & 0x80000000u))
        return static_cast<int32_t>(v);
    // Negative: rebuild from the magnitude's low 31 bits. This is v itself
    // for every negative value except 0x80000000, whose magnitude has no low
    // bits set and so reads as 0.
    uint32_t magnitude = (0u - v) & 0x7FFFFFFFu;
    return -static_cast<int32_t>(magnitude);
}

void pbSetUInt16(void *p, unsigned int value) {
    bytes(p)[0] = static_cast<unsigned char>(value);
    bytes(p)[1] = static_cast<unsigned char>(value >> 8);
}

void pbSetUInt32(void *p, uint32_t value) {
    pbSetUInt16(p, value & 0xFFFF);
    pbSetUInt16(bytes(p) + 2, value >> 16);
}

uint16_t pbBigGetUInt16(const void *p) {
    return static_cast<uint16_t>(bytes(p)[0] << 8 | bytes(p)[1]);
}

uint32_t pbBigGetUInt32(const void *p) {
    return uint32_t(pbBigGetUInt16(p)) << 16 | pbBigGetUInt16(bytes(p) + 2);
}

void pbBigSetUInt16(void *p, unsigned int value) {
    bytes(p)[0] = static_cast<unsigned char>(value >> 8);
    bytes(p)[1] = static_cast<unsigned char>(value);
}

void pbBigSetUInt32(void *p, uint32_t value) {
    pbBigSetUInt16(p, value >> 16);
    pbBigSetUInt16(bytes(p) + 2, value & 0xFFFF);
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
