#include "image_data.h"

#include <string>

#include "failure.h"
#include "vocabulary.h"

namespace pclxl_reader {

namespace {

std::string rows_text(uint32_t rows) {
    return std::to_string(rows) + (rows == 1 ? " row" : " rows");
}

} // namespace

ImageDecoder::ImageDecoder(uint32_t row_bytes, bool little_endian, RowFn on_row)
    : row_bytes_(row_bytes), little_endian_(little_endian), on_row_(std::move(on_row)),
      seed_(row_bytes, 0) {}

void ImageDecoder::begin_block(int compress_mode, uint32_t rows, uint32_t pad_multiple,
                               uint64_t data_offset, uint32_t data_length) {
    mode_ = compress_mode;
    rows_ = rows;
    rows_done_ = 0;
    row_fill_ = 0;
    rle_ = Rle::Control;
    delta_ = rows == 0 ? Delta::BlockDone : Delta::CountLow;
    if (mode_ != enums::eNoCompression && mode_ != enums::eRLECompression)
        return;
    if (pad_multiple == 0)
        pad_multiple = 1;
    if (pad_multiple > kMaxPadMultiple)
        fail(data_offset, "PadBytesMultiple " + std::to_string(pad_multiple) + " (expected 1 to " +
                              std::to_string(kMaxPadMultiple) + ")");
    // Sizes in 64 bits: a row is at most 196605 bytes and a block at most
    // 65535 rows, so none of these can wrap.
    const uint64_t padded = (uint64_t(row_bytes_) + pad_multiple - 1) / pad_multiple * pad_multiple;
    const uint64_t needed = padded * rows;
    if (rows > 0 && padded == 0 && data_length > 0)
        fail(data_offset, "image data of " + std::to_string(data_length) +
                              " bytes for rows of 0 bytes (SourceWidth 0)");
    if (mode_ == enums::eNoCompression && needed != data_length)
        fail(data_offset, "uncompressed image data is " + std::to_string(data_length) +
                              " bytes; BlockHeight " + rows_text(rows) + " of " +
                              std::to_string(padded) + " padded bytes need " +
                              std::to_string(needed));
    // A run of 128 bytes takes 2 bytes of data: no block expands further.
    if (mode_ == enums::eRLECompression && needed > uint64_t(data_length) * 64)
        fail(data_offset, "run-length image data is " + std::to_string(data_length) +
                              " bytes; BlockHeight " + rows_text(rows) + " of " +
                              std::to_string(padded) + " padded bytes need at least " +
                              std::to_string((needed + 63) / 64));
    padded_bytes_ = uint32_t(padded);
    if (row_.size() != padded_bytes_)
        row_.assign(padded_bytes_, 0);
}

void ImageDecoder::feed(const uint8_t *data, size_t n, uint64_t offset) {
    switch (mode_) {
    case enums::eDeltaRowCompression: feed_delta(data, n, offset); break;
    case enums::eRLECompression: feed_rle(data, n, offset); break;
    case enums::eNoCompression: feed_raw(data, n, offset); break;
    default: break; // JPEG blocks are counted, not decoded
    }
}

void ImageDecoder::end_block(uint64_t offset) {
    switch (mode_) {
    case enums::eDeltaRowCompression:
        if (delta_ == Delta::BlockDone)
            return;
        if (delta_ == Delta::CountLow)
            fail(offset, "delta-row block ends after " + rows_text(rows_done_) +
                             "; BlockHeight says " + std::to_string(rows_));
        fail(offset, "delta-row block ends inside row " + std::to_string(rows_done_) +
                         " (expected the rest of the row)");
    case enums::eRLECompression:
        if (rle_ != Rle::Control)
            fail(offset, "run-length block ends inside a run (expected " +
                             std::to_string(run_left_) + " more bytes)");
        [[fallthrough]];
    case enums::eNoCompression:
        if (rows_done_ != rows_ || row_fill_ != 0)
            fail(offset, "image block holds " + rows_text(rows_done_) +
                             (row_fill_ ? " and " + std::to_string(row_fill_) + " bytes" : "") +
                             "; BlockHeight says " + std::to_string(rows_));
        return;
    default: rows_done_ = rows_; return;
    }
}

// Delta-row: one state per field of the row format, so that a row may be
// split anywhere between two pieces of data.
void ImageDecoder::feed_delta(const uint8_t *data, size_t n, uint64_t offset) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = data[i];
        const uint64_t at = offset + i;
        switch (delta_) {
        case Delta::BlockDone:
            fail(at, "delta-row data runs past the block's BlockHeight of " + rows_text(rows_));
        case Delta::CountLow:
            count_first_ = b;
            delta_ = Delta::CountHigh;
            continue;
        case Delta::CountHigh:
            row_left_ = little_endian_ ? uint32_t(count_first_) | uint32_t(b) << 8
                                       : uint32_t(count_first_) << 8 | b;
            position_ = 0;
            if (row_left_ == 0)
                delta_row_done();
            else
                delta_ = Delta::Command;
            continue;
        case Delta::Command:
            --row_left_;
            replace_left_ = (b >> 5) + 1u;
            position_ += b & 0x1F;
            delta_ = (b & 0x1F) == 0x1F ? Delta::OffsetExtension : Delta::Replace;
            break;
        case Delta::OffsetExtension:
            --row_left_;
            position_ += b;
            if (b != 0xFF)
                delta_ = Delta::Replace;
            break;
        case Delta::Replace:
            --row_left_;
            if (position_ >= row_bytes_)
                fail(at, "delta-row command writes byte " + std::to_string(position_) + " of row " +
                             std::to_string(rows_done_) + ", past the row's " +
                             std::to_string(row_bytes_) + " bytes");
            seed_[position_++] = b;
            if (--replace_left_ == 0) {
                if (row_left_ == 0) {
                    delta_row_done();
                    continue;
                }
                delta_ = Delta::Command;
            }
            break;
        }
        if (row_left_ == 0)
            fail(at, "delta-row command runs past the byte count of row " +
                         std::to_string(rows_done_) + " (expected " +
                         std::to_string(replace_left_) + " more bytes in the row)");
    }
}

void ImageDecoder::delta_row_done() {
    on_row_(seed_.data());
    ++rows_done_;
    delta_ = rows_done_ == rows_ ? Delta::BlockDone : Delta::CountLow;
}

void ImageDecoder::put_padded(uint8_t byte, uint64_t offset) {
    if (rows_done_ == rows_ || padded_bytes_ == 0)
        fail(offset, "run-length data runs past the block's BlockHeight of " + rows_text(rows_));
    row_[row_fill_++] = byte;
    if (row_fill_ == padded_bytes_) {
        on_row_(row_.data());
        ++rows_done_;
        row_fill_ = 0;
    }
}

void ImageDecoder::feed_rle(const uint8_t *data, size_t n, uint64_t offset) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = data[i];
        switch (rle_) {
        case Rle::Control:
            if (b < 128) {
                run_left_ = b + 1u;
                rle_ = Rle::Literal;
            } else if (b > 128) {
                run_left_ = 257u - b;
                rle_ = Rle::Repeat;
            }
            break;
        case Rle::Literal:
            put_padded(b, offset + i);
            if (--run_left_ == 0)
                rle_ = Rle::Control;
            break;
        case Rle::Repeat:
            for (; run_left_ > 0; --run_left_)
                put_padded(b, offset + i);
            rle_ = Rle::Control;
            break;
        }
    }
}

void ImageDecoder::feed_raw(const uint8_t *data, size_t n, uint64_t offset) {
    for (size_t i = 0; i < n; ++i)
        put_padded(data[i], offset + i);
}

} // namespace pclxl_reader
