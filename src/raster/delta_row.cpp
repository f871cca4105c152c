// Delta-row compression (PCL XL CompressMode 3) of one scan line against the
// previous one, the seed row.
//
// Encoded row: a uint16 byte count (low byte first), then replacement
// commands. A command byte holds (count - 1) in bits 7-5 and an offset in
// bits 4-0; offset 31 means extension bytes follow (any number of 255s, then
// one byte 0..254, all added to 31). The offset counts the unchanged bytes
// since the end of the previous command; up to 8 replacement bytes follow.
//
// A run of changed bytes is cut into commands of 8; the first carries the
// gap before the run, the others offset 0. Instead of testing byte by byte,
// the encoder compares 64-byte windows at once (diff_mask.h), skips windows
// without changes, and finds run boundaries with count-trailing-zeros. The
// seed row is updated one window at a time by copying the whole window: the
// unchanged bytes are equal anyway. Long runs are written window by window,
// while their bytes are in cache. The output is byte for byte that of the
// plain one-byte-at-a-time algorithm.
#include <cstdint>
#include <cstring>

#include "core.h"
#include "raster/diff_mask.h"
#include "raster/full_pairs.h"
#include "stream/put.h"

namespace {

constexpr size_t kWindow = 64;
constexpr size_t kMaxRun = 8;     // replacement bytes per command
constexpr size_t kInlineMax = 30; // largest offset held in the command byte
constexpr size_t kPrefetchAhead = 2048;

// The command byte and any offset extension. The offset is taken in full,
// so gaps beyond 65535 bytes are encoded correctly too.
inline unsigned char *put_command(unsigned char *p, size_t count, size_t offset) {
    const unsigned head = static_cast<unsigned>((count - 1) << 5) & 0xE0u;
    if (offset <= kInlineMax) {
        *p++ = static_cast<unsigned char>(head | offset);
        return p;
    }
    *p++ = static_cast<unsigned char>(head | 31u);
    const size_t rest = offset - 31;
    const size_t full = rest / 255;
    std::memset(p, 255, full);
    p += full;
    *p++ = static_cast<unsigned char>(rest % 255);
    return p;
}

// put_command out of the busy loop, whose long gaps are rare.
__attribute__((noinline)) unsigned char *put_command_outlined(unsigned char *p, size_t count,
                                                              size_t offset) {
    return put_command(p, count, offset);
}

// The commands for `len` changed bytes at `src`, `gap` unchanged bytes
// after the previous command. Short copies move 8 bytes at once whenever
// both the source and the output area have room (the output area is sized
// for the worst case, so the spare bytes are overwritten later or unused).
inline unsigned char *put_run(unsigned char *p, const unsigned char *src, size_t len, size_t gap,
                              const unsigned char *src_end, const unsigned char *out_end) {
    size_t count = len < kMaxRun ? len : kMaxRun;
    p = put_command(p, count, gap);
    for (;;) {
        if (src + kMaxRun <= src_end && p + kMaxRun <= out_end)
            std::memcpy(p, src, kMaxRun);
        else
            std::memcpy(p, src, count);
        p += count;
        src += count;
        len -= count;
        if (len == 0)
            return p;
        count = len < kMaxRun ? len : kMaxRun;
        *p++ = static_cast<unsigned char>((count - 1) << 5);
    }
}

struct Encoder {
    const unsigned char *row;
    const unsigned char *row_end;
    const unsigned char *out_end;
    unsigned char *p;
    size_t gap_start = 0; // first byte after the last command's bytes
    size_t run_start = 0; // first changed byte not yet written
    bool run_open = false;

    // A run that goes on into the next window: its complete commands up to
    // `end` are written now, while the bytes are in cache. The cut points
    // are those of the whole run, every 8 bytes from its start.
    void flush_full(size_t end) {
        size_t full = (end - run_start) / kMaxRun;
        if (full == 0)
            return;
        const unsigned char *src = row + run_start;
        p = put_command(p, kMaxRun, run_start - gap_start);
        std::memcpy(p, src, kMaxRun);
        p += kMaxRun;
        src += kMaxRun;
        --full;
        p = pclxl::raster::put_full_pairs(p, src, full / 2);
        src += (full & ~size_t{1}) * kMaxRun;
        if (full & 1) {
            *p++ = 0xE0;
            std::memcpy(p, src, kMaxRun);
            p += kMaxRun;
            src += kMaxRun;
        }
        gap_start = run_start = static_cast<size_t>(src - row);
    }

    void close_run(size_t end) {
        run_open = false;
        const size_t len = end - run_start, gap = run_start - gap_start;
        const unsigned char *src = row + run_start;
        gap_start = end;
        if (len == 0)
            return; // all of it went out with flush_full
        // Most runs in busy rows are short with short gaps: one command,
        // written without branching on the offset form.
        if (len <= kMaxRun && gap < 31 + 255 && src + kMaxRun <= row_end &&
            p + 2 + kMaxRun <= out_end) {
            const bool extended = gap > kInlineMax;
            p[0] = static_cast<unsigned char>(((len - 1) << 5) | (extended ? 31 : gap));
            p[1] = static_cast<unsigned char>(gap - 31); // overwritten unless extended
            p += 1 + extended;
            std::memcpy(p, src, kMaxRun);
            p += len;
            return;
        }
        p = put_run(p, src, len, gap, row_end, out_end);
    }

    // A busy window (most bytes changed, as in photographs and scans):
    // instead of walking run by run, it finds every command's first byte at
    // once (each run's first byte, then every 8 bytes while the run goes on)
    // and writes the commands in one loop without a branch on the data. A
    // run left open at the window's end keeps its last, possibly short,
    // command for the next window. The row must go on for 8 bytes after the
    // window, and the output have room for the window's worst case.
    void busy(uint64_t diff, size_t base) {
        if (run_open) { // finish the run from the window before
            const uint64_t same = ~diff;
            if (same == 0) {
                flush_full(base + kWindow);
                return;
            }
            const unsigned j = static_cast<unsigned>(__builtin_ctzll(same));
            close_run(base + j);
            diff &= ~uint64_t{0} << j;
        }
        // Commands start at each run's first byte and every 8 bytes after it
        // while the run goes on; `go` marks the bytes that end 9 changed
        // bytes in a row.
        uint64_t go = diff;
        for (unsigned k = 1; k <= 8; ++k)
            go &= diff << k;
        uint64_t starts = diff & ~(diff << 1), next = starts;
        for (int k = 0; k < 7; ++k) {
            next = (next << 8) & go;
            starts |= next;
        }
        // A run that reaches the window's end leaves its last command (when
        // shorter than 8 within the window) to the next one.
        size_t open_at = 0;
        if (diff >> 63) {
            const unsigned last = 63u - static_cast<unsigned>(__builtin_clzll(starts));
            open_at = base + (last + kMaxRun > kWindow ? last : kWindow);
            if (last + kMaxRun > kWindow)
                starts &= ~(uint64_t{1} << last);
        }
        // Locals only: the byte stores below may alias the encoder's members.
        unsigned char *q = p;
        const unsigned char *const src = row + base;
        size_t end = gap_start - base; // may be "negative": wraps, and wraps back
        while (starts != 0) {
            const size_t k = static_cast<size_t>(__builtin_ctzll(starts));
            starts &= starts - 1;
            const size_t len = static_cast<size_t>(__builtin_ctzll(~(diff >> k) | 0x100u));
            const size_t gap = k - end;
            if (__builtin_expect(gap <= kInlineMax, 1))
                *q++ = static_cast<unsigned char>(((len - 1) << 5) | gap);
            else
                q = put_command_outlined(q, len, gap);
            std::memcpy(q, src + k, kMaxRun);
            q += len;
            end = k + len;
        }
        end += base;
        p = q;
        gap_start = end;
        run_open = open_at != 0;
        if (run_open)
            run_start = open_at;
    }

    // Walks the change mask `diff` of the window at `base`: bits past the end
    // of the row must be clear (they then read as unchanged and close a run).
    void walk(uint64_t diff, size_t base) {
        const uint64_t same = ~diff;
        if (run_open) { // a run from the window before
            if (same == 0) {
                flush_full(base + kWindow);
                return;
            }
            const unsigned j = static_cast<unsigned>(__builtin_ctzll(same));
            close_run(base + j);
            diff &= ~uint64_t{0} << j;
        }
        while (diff != 0) {
            const unsigned k = static_cast<unsigned>(__builtin_ctzll(diff));
            run_start = base + k;
            const uint64_t after = same & (~uint64_t{0} << k);
            if (after == 0) { // the run goes on into the next window
                run_open = true;
                flush_full(base + kWindow);
                return;
            }
            const unsigned j = static_cast<unsigned>(__builtin_ctzll(after));
            close_run(base + j);
            diff &= ~uint64_t{0} << j;
        }
    }
};

} // namespace

unsigned char *pclxl::core::delta_row_command(unsigned char *out, unsigned short count,
                                              const unsigned char *src, unsigned short offset) {
    out = put_command(out, count, offset);
    std::memcpy(out, src, count);
    return out + count;
}

namespace {

// One row against `seed`. With kUpdate the seed becomes the row as it is
// compared (window by window); without, the seed is the previous row of a
// caller who keeps it, and is only read: a const image is encoded without
// copying a byte of it.
template <bool kUpdate, class Seed>
size_t encode_row(unsigned char *out, const unsigned char *row, size_t n, Seed *seed) {
    using namespace pclxl::raster;
    Encoder enc{row, row + n, out + pclxl::core::delta_row_bound(n), out + 2};

    size_t pos = 0;
    for (; pos + kWindow <= n; pos += kWindow) {
        // An unchanged window outside a run needs no mask at all.
        if (!enc.run_open && !any_diff64(row + pos, seed + pos))
            continue;
        // Rows of a page come from memory, not cache. Where rows change, the
        // encoder does enough work per window that the processor's own
        // prefetching falls behind: asking for the bytes 32 windows ahead
        // keeps enough loads in flight (the row before, the seed, is in
        // cache). Unchanged stretches are compared fast enough without. A
        // prefetch past the end of the row (usually into the next row) never
        // faults; its address is an integer, as a pointer may not go there.
        __builtin_prefetch(reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(row) + pos +
                                                          kPrefetchAhead));
        uint64_t diff;
        if constexpr (kUpdate)
            diff = diff_mask64_update(row + pos, seed + pos);
        else
            diff = diff_mask64(row + pos, seed + pos);
        if (diff == ~uint64_t{0} && enc.run_open && enc.run_start == enc.gap_start) {
            // A long run (a photo) goes on through the whole window, with its
            // first command already out: the up to 7 bytes left over from
            // the last window and these 64 make exactly 8 more commands of
            // offset 0, and the same number of bytes is left over again.
            enc.p =
                pclxl::raster::put_full_pairs(enc.p, row + enc.run_start, kWindow / (2 * kMaxRun));
            enc.gap_start = enc.run_start += kWindow;
            continue;
        }
        // Windows where about half the bytes or more change take the busy
        // form (judged from every 8th byte). Its 8-byte copies may read up
        // to 8 bytes past the window, which must still be in the row, and it
        // needs room for a window's worst case: 32 commands of one byte,
        // each with its 8-byte copy.
        const unsigned sampled =
            static_cast<unsigned>(((diff & 0x0101010101010101ull) * 0x0101010101010101ull) >> 56);
        if (sampled >= 4 && pos + kWindow + kMaxRun <= n &&
            static_cast<size_t>(enc.out_end - enc.p) >= 2 * kWindow + kMaxRun)
            enc.busy(diff, pos);
        else
            enc.walk(diff, pos);
    }
    if (const size_t rest = n - pos; rest != 0) {
        // The last, partial window is compared through zero-padded copies,
        // so the padding reads as unchanged and ends any open run.
        unsigned char r[kWindow] = {}, s[kWindow] = {};
        std::memcpy(r, row + pos, rest);
        std::memcpy(s, seed + pos, rest);
        const uint64_t diff = diff_mask64(r, s);
        if constexpr (kUpdate)
            if (diff != 0)
                std::memcpy(seed + pos, row + pos, rest);
        enc.walk(diff, pos);
    } else if (enc.run_open) {
        enc.close_run(n);
    }
    return static_cast<size_t>(enc.p - (out + 2));
}

int finish_row(unsigned char *out, size_t count) {
    // The count field is 16 bits. Rows of up to 58253 bytes always fit; a
    // longer row whose commands exceed 65535 bytes cannot be carried, and
    // its field keeps the low 16 bits (no caller produces such rows).
    pclxl::put16le(out, static_cast<uint32_t>(count));
    return static_cast<int>(count + 2);
}

} // namespace

int pclxl::core::delta_row(unsigned char *out, const unsigned char *row, size_t length,
                           unsigned char *seed) {
    return finish_row(out, encode_row<true>(out, row, length, seed));
}

int pclxl::core::delta_row_against(unsigned char *out, const unsigned char *row, size_t length,
                                   const unsigned char *previous) {
    return finish_row(out, encode_row<false>(out, row, length, previous));
}
