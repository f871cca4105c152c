// Property: whatever width, height, stride, depth and pixels the host
// gives, pclxl_write_bitmap_data either refuses with one error line and
// writes nothing, or writes cursor move, BeginImage, ReadImage blocks and
// EndImage whose delta-row rows decode back to the host's rows after the
// documented conversions:
//   1 bit    all `stride` bytes of the row
//   8 bits   the first `width` bytes
//   24 bits  B,G,R pixels sent as R,G,B, exchanged in the host's memory
//   32 bits  B,G,R,x pixels sent as R,G,B, the host's memory unchanged
// Blocks cover the rows in order, hold whole rows, stay within 64 KB plus
// one row, and are not cut before they pass the size threshold.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "delta_row_reference.h"
#include "fuzz_input.h"
#include "pclxl.h"

using pclxl_fuzz::Input;
using pclxl_fuzz::Stream;

namespace {

// Bytes of memory each row covers, and bytes of each row sent.
long row_span(long width, long stride, int bpp) {
    switch (bpp) {
    case 1: return stride;
    case 8: return width;
    case 24: return 3 * width;
    default: return 4 * width;
    }
}

long row_sent(long width, long stride, int bpp) {
    return bpp == 1 ? stride : bpp == 8 ? width : 3 * width;
}

struct Reader {
    const std::vector<uint8_t> &b;
    size_t pos = 0;
    bool at(const std::vector<uint8_t> &want) const {
        return pos + want.size() <= b.size() && std::equal(want.begin(), want.end(), &b[pos]);
    }
    unsigned u16(size_t at) const { return b[at] | b[at + 1] << 8; }
    uint32_t u32(size_t at) const { return u16(at) | static_cast<uint32_t>(u16(at + 2)) << 16; }
};

void push16(std::vector<uint8_t> &v, long value) {
    v.push_back(static_cast<uint8_t>(value));
    v.push_back(static_cast<uint8_t>(value >> 8));
}

int clamp_position(int v) { return v < -32700 ? -32700 : v > 32700 ? 32700 : v; }

void check_refused(const char *why, const Stream &out, const std::string &err, int result) {
    FUZZ_CHECK(result == 0, "%s: result %d", why, result);
    FUZZ_CHECK(out.bytes.empty(), "%s: %zu bytes written", why, out.bytes.size());
    const std::string prefix = "pclxl_write_bitmap_data(): ";
    FUZZ_CHECK(err.compare(0, prefix.size(), prefix) == 0 &&
                   std::count(err.begin(), err.end(), '\n') == 1 && err.back() == '\n',
               "%s: stderr was \"%s\"", why, err.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input in(data, size);
    static const int depths[] = {1, 8, 24, 32};
    const int bpp = in.u8() < 250 ? depths[in.u8() % 4] : static_cast<int>(in.u32());
    const long width = in.flag() ? static_cast<int32_t>(in.u32()) : in.range(0, 1200);
    const long height = in.flag() ? static_cast<int32_t>(in.u32()) : in.range(0, 300);
    const long natural = bpp == 1 ? (width + 7) / 8 : row_span(width, 0, bpp);
    long stride;
    switch (in.u8() % 4) {
    case 0: stride = static_cast<int32_t>(in.u32()); break;
    case 1: stride = -natural - in.range(0, 16); break;
    case 2: stride = in.range(-16, 16); break; // rows that overlap, or one row again and again
    default: stride = natural + in.range(0, 16); break;
    }
    const int32_t color_mapping = in.flag() ? static_cast<int32_t>(in.u32()) : in.u8() % 2;
    const int16_t x = static_cast<int16_t>(in.u16()), y = static_cast<int16_t>(in.u16());
    const uint16_t dest_w = in.u16(), dest_h = in.u16();
    const bool null_data = in.u8() == 0xFF;

    const long sent = row_sent(width, stride, bpp);
    const bool valid = (bpp == 1 || bpp == 8 || bpp == 24 || bpp == 32) && width <= 65535 &&
                       height <= 65535 && sent >= 1 && sent <= 32767;
    const long rows = valid ? std::max(height, 0L) : 0;
    const long span = valid ? row_span(width, stride, bpp) : 0;
    // Keep each run small: the memory the image covers and the bytes it
    // sends stay below 512 KB.
    const long extent = rows == 0 ? 0 : (rows - 1) * std::labs(stride) + span;
    if (extent > (512L << 10) || rows * std::max(sent, 0L) > (512L << 10))
        return 0;

    std::vector<uint8_t> memory = in.fill(static_cast<size_t>(extent));
    const long first = stride < 0 && rows > 0 ? (rows - 1) * -stride : 0;
    std::vector<uint8_t> model = memory; // the host's memory as it must be afterwards
    std::vector<uint8_t> expected;       // the rows as sent, back to back
    for (long r = 0; r < rows; ++r) {
        uint8_t *row = model.data() + first + r * stride;
        if (bpp == 24)
            for (long i = 0; i < width; ++i)
                std::swap(row[3 * i], row[3 * i + 2]);
        if (bpp == 32)
            for (long i = 0; i < width; ++i)
                expected.insert(expected.end(), {row[4 * i + 2], row[4 * i + 1], row[4 * i]});
        else
            expected.insert(expected.end(), row, row + sent);
    }

    Stream out;
    pclxl_init(&out, Stream::on_write);
    int result;
    std::string err;
    {
        pclxl_fuzz::StderrCapture capture;
        result = pclxl_write_bitmap_data(color_mapping, null_data ? nullptr : memory.data() + first,
                                         static_cast<int32_t>(width), static_cast<int32_t>(height),
                                         static_cast<int32_t>(stride), bpp, x, y, dest_w, dest_h);
        err = capture.take();
    }
    pclxl_init(nullptr, nullptr);

    if (!valid) {
        check_refused("invalid arguments", out, err, result);
        return 0;
    }
    if (null_data && height > 0) {
        check_refused("no data", out, err, result); // NULL data with rows
        return 0;
    }
    FUZZ_CHECK(result == 1 && err.empty(), "result %d, stderr \"%s\"", result, err.c_str());
    FUZZ_CHECK(memory == model, "the host's memory differs from the documented conversion");

    const int cx = clamp_position(x), cy = clamp_position(y);
    std::vector<uint8_t> head = {0xD3};
    push16(head, cx);
    push16(head, cy);
    head.insert(head.end(),
                {0xF8, 0x4C, 0x6B, 0xC0, static_cast<uint8_t>(color_mapping), 0xF8, 0x64, 0xC0,
                 static_cast<uint8_t>(color_mapping == 1 ? 0 : 2), 0xF8, 0x62, 0xC1});
    push16(head, width);
    head.insert(head.end(), {0xF8, 0x6C, 0xC1});
    push16(head, height);
    head.insert(head.end(), {0xF8, 0x6B, 0xD1});
    push16(head, dest_w);
    push16(head, dest_h);
    head.insert(head.end(), {0xF8, 0x67, 0xB0});

    Reader rd{out.bytes};
    FUZZ_CHECK(rd.at(head), "BeginImage sequence differs");
    rd.pos = head.size();

    const size_t S = static_cast<size_t>(sent);
    const uint32_t threshold = 65535 - 2 * static_cast<uint32_t>(S);
    std::vector<uint8_t> seed(S, 0);
    size_t decoded_rows = 0, blocks = 0;
    while (rd.pos < out.bytes.size() && out.bytes[rd.pos] == 0xC1) {
        FUZZ_CHECK(rd.pos + 20 <= out.bytes.size(), "truncated ReadImage header");
        const size_t h = rd.pos;
        const unsigned start = rd.u16(h + 1), block_height = rd.u16(h + 6);
        const uint32_t length = rd.u32(h + 16);
        const uint8_t fixed[][2] = {{3, 0xF8},  {4, 0x6D},  {5, 0xC1}, {8, 0xF8},
                                    {9, 0x63},  {10, 0xC0}, {11, 3},   {12, 0xF8},
                                    {13, 0x65}, {14, 0xB1}, {15, 0xFA}};
        for (const auto &f : fixed)
            FUZZ_CHECK(out.bytes[h + f[0]] == f[1], "ReadImage header byte %d", f[0]);
        FUZZ_CHECK(start == decoded_rows, "block starts at line %u after %zu rows", start,
                   decoded_rows);
        FUZZ_CHECK(block_height >= 1 && length <= 65537 && h + 20 + length <= out.bytes.size(),
                   "block of %u rows, %u bytes", block_height, length);
        size_t p = h + 20;
        for (unsigned r = 0; r < block_height; ++r, ++decoded_rows) {
            const size_t used =
                pclxl_ref::delta_row_decode(&out.bytes[p], h + 20 + length - p, seed.data(), S);
            FUZZ_CHECK(used != 0, "row %zu does not decode", decoded_rows);
            p += used;
            FUZZ_CHECK(decoded_rows < static_cast<size_t>(rows) &&
                           std::memcmp(seed.data(), &expected[decoded_rows * S], S) == 0,
                       "row %zu differs from the host's row", decoded_rows);
        }
        FUZZ_CHECK(p == h + 20 + length, "block holds bytes beyond its %u rows", block_height);
        rd.pos = p;
        ++blocks;
        if (decoded_rows < static_cast<size_t>(rows))
            FUZZ_CHECK(length > threshold, "block of %u bytes sent before the threshold %u", length,
                       threshold);
    }
    FUZZ_CHECK(decoded_rows == static_cast<size_t>(rows), "%zu of %ld rows sent", decoded_rows,
               rows);
    FUZZ_CHECK(rd.pos + 1 == out.bytes.size() && out.bytes[rd.pos] == 0xB2,
               "EndImage missing or followed by bytes");
    FUZZ_CHECK(out.pieces == 9 + 2 * blocks, "%zu pieces for %zu blocks", out.pieces, blocks);
    return 0;
}
