// Decoders for the data blocks of one image or raster pattern.
//
// Image data comes in blocks, each the data of one ReadImage (or
// ReadRastPattern) holding exactly BlockHeight rows:
//  - no compression: each row padded to a multiple of PadBytesMultiple
//    (4 unless the block says otherwise);
//  - run-length: the padded rows, packed as runs (a control byte n of
//    0..127 takes n + 1 literal bytes, 129..255 repeats the next byte
//    257 - n times, 128 does nothing);
//  - delta-row: per row, a 16-bit byte count (in the data source's byte
//    order) then replacement commands against the previous row, the seed
//    row. The seed row starts at zero for each image and carries from one
//    block to the next. Rows are not padded.
// Each decoder is fed the block's bytes in pieces, so a block is never held
// in memory as a whole.
#ifndef PCLXL_READER_IMAGE_DATA_H
#define PCLXL_READER_IMAGE_DATA_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace pclxl_reader {

class ImageDecoder {
  public:
    using RowFn = std::function<void(const uint8_t *row)>;
    // PadBytesMultiple is a byte in the streams writers send.
    static constexpr uint32_t kMaxPadMultiple = 255;

    ImageDecoder(uint32_t row_bytes, bool little_endian, RowFn on_row);

    // Starts a block. Throws a Failure when the block's length cannot hold
    // its rows (exactly, for uncompressed rows; at the largest expansion,
    // for run-length) or its padding is out of range.
    void begin_block(int compress_mode, uint32_t rows, uint32_t pad_multiple, uint64_t data_offset,
                     uint32_t data_length);
    // Decodes the next `n` bytes of the block, which start at stream offset
    // `offset`. Throws a Failure for data that runs past a row or the block.
    void feed(const uint8_t *data, size_t n, uint64_t offset);
    // Checks that the block held exactly its rows; `offset` is where it ended.
    void end_block(uint64_t offset);

    uint32_t block_rows_done() const { return rows_done_; }

  private:
    void feed_delta(const uint8_t *data, size_t n, uint64_t offset);
    void feed_rle(const uint8_t *data, size_t n, uint64_t offset);
    void feed_raw(const uint8_t *data, size_t n, uint64_t offset);
    void put_padded(uint8_t byte, uint64_t offset);
    void delta_row_done();

    enum class Delta { CountLow, CountHigh, Command, OffsetExtension, Replace, BlockDone };
    enum class Rle { Control, Literal, Repeat };

    uint32_t row_bytes_;
    bool little_endian_;
    RowFn on_row_;

    int mode_ = 0;
    uint32_t rows_ = 0, rows_done_ = 0;
    uint32_t padded_bytes_ = 0;

    // delta-row
    std::vector<uint8_t> seed_;
    Delta delta_ = Delta::CountLow;
    uint32_t row_left_ = 0; // command bytes left in the current row
    uint32_t position_ = 0; // next byte of the row that a command replaces
    uint32_t replace_left_ = 0;
    uint8_t count_first_ = 0;

    // run-length and uncompressed
    std::vector<uint8_t> row_;
    uint32_t row_fill_ = 0;
    Rle rle_ = Rle::Control;
    uint32_t run_left_ = 0;
};

} // namespace pclxl_reader

#endif
