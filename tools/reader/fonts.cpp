#include "fonts.h"

#include "failure.h"

namespace pclxl_reader {

namespace {

constexpr uint16_t kNullSegment = 0xFFFF;
constexpr uint16_t kBitmapResolutionSegment = 0x4252; // "BR"
constexpr unsigned kFontHeaderBytes = 8;
constexpr unsigned kSegmentHeadBytes = 6;
constexpr unsigned kBitmapCharHeaderBytes = 10;

uint16_t be16(const uint8_t *p) { return uint16_t(p[0] << 8 | p[1]); }
uint32_t be32(const uint8_t *p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

} // namespace

void FontHeaderParser::feed(const uint8_t *data, size_t n, uint64_t offset) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = data[i];
        switch (state_) {
        case State::Header:
            head_[fill_++] = b;
            if (fill_ == kFontHeaderBytes) {
                if (head_[0] != 0)
                    fail(offset + i + 1 - kFontHeaderBytes,
                         "font header format " + std::to_string(head_[0]) + " (expected 0)");
                state_ = State::SegmentHead;
                fill_ = 0;
            }
            break;
        case State::SegmentHead:
            segment_head_[fill_++] = b;
            if (fill_ == kSegmentHeadBytes) {
                fill_ = 0;
                segment_id_ = be16(segment_head_);
                segment_left_ = be32(segment_head_ + 2);
                if (segment_id_ == kNullSegment) {
                    if (segment_left_ != 0)
                        fail(offset + i + 1 - kSegmentHeadBytes,
                             "font header null segment of size " + std::to_string(segment_left_) +
                                 " (expected size 0)");
                    state_ = State::Done;
                } else if (segment_left_ > 0) {
                    state_ = State::SegmentBody;
                }
            }
            break;
        case State::SegmentBody:
            if (segment_id_ == kBitmapResolutionSegment && br_fill_ < sizeof br_)
                br_[br_fill_++] = b;
            if (--segment_left_ == 0)
                state_ = State::SegmentHead;
            break;
        case State::Done: fail(offset + i, "font header data after its null segment");
        }
    }
}

void FontHeaderParser::finish(uint64_t offset) const {
    if (state_ == State::Header)
        fail(offset, "font header ends after " + std::to_string(fill_) + " of its " +
                         std::to_string(kFontHeaderBytes) + " header bytes");
    if (state_ != State::Done)
        fail(offset, "font header ends without its null segment (expected FF FF 00 00 00 00)");
}

void CharParser::feed(const uint8_t *data, size_t n) {
    for (size_t i = 0; i < n && fill_ < sizeof head_; ++i)
        head_[fill_++] = data[i];
}

std::string CharParser::finish(uint64_t data_offset, uint32_t char_code) const {
    if (length_ < 2)
        fail(data_offset,
             "character data of " + std::to_string(length_) + " bytes is shorter than its header");
    const int format = head_[0], klass = head_[1];
    if (format != 0 || klass > 1)
        return "char format " + std::to_string(format) + " class " + std::to_string(klass);
    if (length_ < kBitmapCharHeaderBytes)
        fail(data_offset, "bitmap character data of " + std::to_string(length_) +
                              " bytes is shorter than its 10-byte header");
    const int left = int16_t(be16(head_ + 2)), top = int16_t(be16(head_ + 4));
    const uint32_t width = be16(head_ + 6), height = be16(head_ + 8);
    const uint64_t needed = kBitmapCharHeaderBytes + uint64_t((width + 7) / 8) * height;
    if (needed != length_)
        fail(data_offset, "bitmap character " + std::to_string(char_code) + " is " +
                              std::to_string(width) + "x" + std::to_string(height) + " and needs " +
                              std::to_string(needed) + " bytes of data; it has " +
                              std::to_string(length_));
    return "bitmap " + std::to_string(width) + "x" + std::to_string(height) + " left " +
           std::to_string(left) + " top " + std::to_string(top);
}

} // namespace pclxl_reader
