// Property: DeltaOneLine writes the same bytes, returns the same count and
// leaves the same seed row as the plain one-byte-at-a-time encoder, for any
// row and seed; and its output decodes back to the row.
//
// Input: a row length, a starting seed, then rows built from the previous
// one by runs of edits (so that long unchanged gaps, runs cut at 8 bytes
// and offsets past 31, 286 and 541 all occur), or raw bytes.
#include <cstring>
#include <vector>

#include "delta_row_reference.h"
#include "fuzz_input.h"
#include "pclxl.hpp"

using pclxl_fuzz::Input;

namespace {

std::vector<uint8_t> next_row(Input &in, const std::vector<uint8_t> &prev) {
    std::vector<uint8_t> row = prev;
    const size_t n = row.size();
    if (in.flag()) { // raw bytes, patterned where the input runs out
        row = in.fill(n);
        return row;
    }
    size_t pos = 0;
    for (int edits = in.range(0, 24); edits > 0 && pos < n; --edits) {
        // Gaps up to 700 reach every offset-extension form.
        pos += static_cast<size_t>(in.range(0, in.flag() ? 700 : 40));
        const size_t run = static_cast<size_t>(in.range(1, 20));
        const uint8_t value = in.u8();
        for (size_t i = 0; i < run && pos < n; ++i, ++pos)
            row[pos] = in.flag() ? value : static_cast<uint8_t>(~row[pos]);
    }
    return row;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input in(data, size);
    // Mostly short rows; now and then up to the longest the encoding holds.
    const size_t length = static_cast<size_t>(in.flag() ? in.range(1, 58253) : in.range(1, 300));
    std::vector<uint8_t> seed = in.flag() ? in.fill(length) : std::vector<uint8_t>(length, 0);
    std::vector<uint8_t> seed_ref = seed;
    std::vector<uint8_t> row = seed;

    const size_t room = 2 + length + (length + 7) / 8;
    for (int rows = 0; rows < 8 && !in.empty(); ++rows) {
        row = next_row(in, row);
        // Exactly the documented room, on the heap, so that a sanitizer
        // sees any write past it.
        std::vector<uint8_t> out(room), out_ref(room);
        std::vector<uint8_t> row_copy = row;
        const int got = DeltaOneLine(out.data(), row_copy.data(), length, seed.data());
        const int want =
            pclxl_ref::delta_row_plain(out_ref.data(), row.data(), length, seed_ref.data());
        FUZZ_CHECK(got == want, "length %zu: returned %d, plain encoder %d", length, got, want);
        FUZZ_CHECK(std::memcmp(out.data(), out_ref.data(), static_cast<size_t>(want)) == 0,
                   "length %zu: encoded bytes differ", length);
        FUZZ_CHECK(seed == seed_ref && seed == row, "length %zu: seed row differs", length);
        FUZZ_CHECK(row_copy == row, "the row was changed");
    }
    return 0;
}
