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
// the encoder compares 64-byte windows at once (diff_mask.h, or 512-bit
// compares), skips windows without changes, and finds run boundaries with
// count-trailing-zeros. The seed row is updated one window at a time by
// copying the whole window: the unchanged bytes are equal anyway. Each
// window's commands are written while its bytes are in cache. Where most
// bytes of a window change, they are written without walking run by run:
// with 512-bit byte compress and expand where the processor has them
// (WideRow), command by command with 8-byte copies otherwise
// (RunWriter::busy). The output is byte for byte that of the plain
// one-byte-at-a-time algorithm, whichever form runs; the tests run each.
#ifndef PCLXL_RASTER_DELTA_ROW_ENCODER_H
#define PCLXL_RASTER_DELTA_ROW_ENCODER_H

#include <cstdint>
#include <cstring>

#include "core.h"
#include "raster/cpu.h"
#include "raster/diff_mask.h"
#include "raster/full_pairs.h"

#if PCLXL_HAVE_WIDE_KERNELS
#include <immintrin.h>
#endif

namespace pclxl::raster {

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
__attribute__((noinline)) inline unsigned char *put_command_outlined(unsigned char *p, size_t count,
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

#if PCLXL_HAVE_WIDE_KERNELS
// Lane tables of the 512-bit busy form.
struct WideTables {
    unsigned char iota[64], previous[64], interleave_low[64], interleave_high[64];
    // Bit fields of the change masks around each byte: the 64-bit word
    // each group of 8 lanes takes them from (shift counts), and where in it
    // (bit offsets).
    uint64_t ahead_shift[8], behind_shift[8];
    unsigned char ahead_at[64], behind_at[64];
    // Indexed by 7 bits: the command's count less 1, in place, from the
    // bytes after its first that change (bit 0 the next byte); the offset
    // of a run's first command from the 7 bytes before the byte before it
    // (bit 6 the nearest), where at least one changed.
    unsigned char count_bits[128], offset[128];
};
constexpr WideTables make_wide_tables() {
    WideTables t{};
    for (int i = 0; i < 64; ++i) {
        t.iota[i] = static_cast<unsigned char>(i);
        t.previous[i] = static_cast<unsigned char>(i > 0 ? i - 1 : 0);
        // Lane 2i takes byte i of the first vector, lane 2i + 1 byte i of
        // the second (index 64 + i).
        t.interleave_low[i] = static_cast<unsigned char>((i & 1) * 64 + i / 2);
        t.interleave_high[i] = static_cast<unsigned char>((i & 1) * 64 + 32 + i / 2);
        t.ahead_at[i] = static_cast<unsigned char>(i % 8 + 1);
        t.behind_at[i] = static_cast<unsigned char>(i % 8);
    }
    for (int k = 0; k < 8; ++k) {
        t.ahead_shift[k] = static_cast<uint64_t>(8 * k);
        t.behind_shift[k] = static_cast<uint64_t>(k == 0 ? 56 : 8 * k - 8);
    }
    for (int x = 0; x < 128; ++x) {
        int ones = 0;
        while (ones < 7 && (x >> ones & 1))
            ++ones;
        t.count_bits[x] = static_cast<unsigned char>(ones << 5);
        int zeros = 0;
        while (zeros < 7 && !(x >> (6 - zeros) & 1))
            ++zeros;
        t.offset[x] = static_cast<unsigned char>(1 + zeros);
    }
    return t;
}
alignas(64) inline constexpr WideTables kWide = make_wide_tables();
#endif

// Both forms take each window's change mask one window ahead, so that a
// command that starts in a window is written whole there, its last bytes
// (up to 7) taken from the next window; the next window then starts with
// those bytes done. The state from window to window, where the last command
// ended, follows from the change masks alone, in a few steps, so that a
// window need not wait for the one before to be written.
struct WindowEnd {
    size_t last_end = 0; // one past the last byte written by a command
    size_t done = 0;     // bytes of the window it has written

    // The bytes of the next window that the window's last command takes.
    // Without a run at the window's end, none. With one, its last command
    // starts 56 to 63 bytes in, as many past 56 as the run's first byte
    // (here, or `done` for a run from before) is past a multiple of 8, and
    // takes the next window's bytes up to 8 in all while they change. Masks
    // rather than branches: whether a run reaches the end is as random as
    // the row.
    size_t spill(uint64_t diff, uint64_t next) const {
        const size_t run_from =
            diff == ~uint64_t{0} ? 0 : kWindow - static_cast<size_t>(__builtin_clzll(~diff));
        const size_t from = run_from > done ? run_from : done;
        const size_t on = static_cast<size_t>(__builtin_ctzll(~next | 0x80u));
        return ((from & 7) < on ? from & 7 : on) & (0 - static_cast<size_t>(diff >> 63));
    }
    // Past the window at `base`, whose bytes still to write were `todo`.
    void advance(uint64_t diff, uint64_t todo, size_t spill, size_t base) {
        const size_t open = 0 - static_cast<size_t>(diff >> 63);
        const size_t changes_end =
            todo != 0 ? base + kWindow - static_cast<size_t>(__builtin_clzll(todo)) : last_end;
        last_end = changes_end ^ ((changes_end ^ (base + kWindow + spill)) & open);
        done = spill;
    }
};

// The first bytes of the commands of the changed bytes `diff`: each run's
// first byte and every 8 bytes after it while the run goes on, found by
// doubling the reach, 8, 16, then 32 bytes on, where that many bytes and one
// more changed in a row.
inline uint64_t command_starts(uint64_t diff) {
    uint64_t go = diff & diff << 1;
    go &= go << 2;
    go &= go << 4;
    go &= diff << 8;
    const uint64_t go16 = go & go << 8, go32 = go16 & go16 << 16;
    uint64_t starts = diff & ~(diff << 1);
    starts |= (starts << 8) & go;
    starts |= (starts << 16) & go16;
    starts |= (starts << 32) & go32;
    return starts;
}

struct RunWriter {
    const unsigned char *row;
    size_t n;
    const unsigned char *out_end;

    // The commands of the changed bytes `diff` of the window at `base`, run
    // by run; `next` is the next window's change mask.
    __attribute__((always_inline)) unsigned char *
    walk(unsigned char *p, size_t last_end, uint64_t diff, uint64_t next, size_t base) const {
        while (diff != 0) {
            const uint64_t first = diff & (~diff + 1);
            const size_t s = static_cast<size_t>(__builtin_ctzll(first));
            // The end of the run in the window: 64 when it reaches the end.
            const size_t e =
                diff + first == 0 ? kWindow : static_cast<size_t>(__builtin_ctzll(diff + first));
            diff &= diff + first; // the run cleared (and all, past the end)
            size_t len = e - s;
            if (e == kWindow) {
                // The last command may take up to 7 bytes of the next window.
                const size_t more = static_cast<size_t>(__builtin_ctzll(~next | 0x80u));
                const size_t whole = (len + kMaxRun - 1) & ~(kMaxRun - 1);
                len = len + more < whole ? len + more : whole;
            }
            const size_t gap = base + s - last_end;
            const unsigned char *src = row + base + s;
            last_end = base + s + len;
            // Most runs in busy rows are short with short gaps: one command,
            // written without branching on the offset form.
            if (len <= kMaxRun && gap < 31 + 255 && base + s + kMaxRun <= n &&
                out_end - p >= static_cast<ptrdiff_t>(2 + kMaxRun)) {
                const bool extended = gap > kInlineMax;
                p[0] = static_cast<unsigned char>(((len - 1) << 5) | (extended ? 31 : gap));
                p[1] = static_cast<unsigned char>(gap - 31); // overwritten unless extended
                p += 1 + extended;
                std::memcpy(p, src, kMaxRun);
                p += len;
            } else {
                p = put_run(p, src, len, gap, row + n, out_end);
            }
        }
        return p;
    }

    // A busy window (`diff` without the bytes done before) command by
    // command: it finds every command's first byte at once and writes each
    // with an 8-byte copy, which needs the row to go on for 8 bytes after
    // the window and room for the window's worst case.
    unsigned char *busy(unsigned char *p, size_t last_end, uint64_t diff, uint64_t next,
                        size_t base) const {
        if (base + kWindow + kMaxRun > n ||
            out_end - p < static_cast<ptrdiff_t>(2 * kWindow + 2 * kMaxRun))
            return walk(p, last_end, diff, next, base);
        uint64_t starts = command_starts(diff);
        const unsigned char *const src = row + base;
        size_t end = last_end - base; // may be "negative": wraps, and wraps back
        while (starts != 0) {
            const size_t k = static_cast<size_t>(__builtin_ctzll(starts));
            starts &= starts - 1;
            // The changed bytes from k on, into the next window.
            const uint64_t from_k = diff >> k | (next << 1) << (63 - k);
            const size_t len = static_cast<size_t>(__builtin_ctzll(~from_k | 0x100u));
            const size_t gap = k - end;
            if (__builtin_expect(gap <= kInlineMax, 1))
                *p++ = static_cast<unsigned char>(((len - 1) << 5) | gap);
            else
                p = put_command_outlined(p, len, gap);
            std::memcpy(p, src + k, kMaxRun);
            p += len;
            end = k + len;
        }
        return p;
    }
};

// The change mask of the last, partial window of `rest` bytes (with
// kUpdate, the window copied over the seed), compared through zero-padded
// copies, so that the padding reads as unchanged.
template <bool kUpdate, class Seed>
__attribute__((noinline)) uint64_t last_window_mask(const unsigned char *row, Seed *seed,
                                                    size_t rest) {
    unsigned char r[kWindow] = {}, s[kWindow] = {};
    std::memcpy(r, row, rest);
    std::memcpy(s, seed, rest);
    const uint64_t diff = diff_mask64(r, s);
    if constexpr (kUpdate)
        if (diff != 0)
            std::memcpy(seed, row, rest);
    return diff;
}

// The change mask of the window at `base` (with kUpdate, the window copied
// over the seed). After an unchanged window, the next is likely unchanged
// too (a page's white), and is first compared as a whole.
template <bool kUpdate, class Seed>
__attribute__((always_inline)) inline uint64_t window_mask(const unsigned char *row, Seed *seed,
                                                           size_t n, size_t base, bool same) {
    if (base + kWindow <= n) {
        if (same && !any_diff64(row + base, seed + base))
            return 0;
        if constexpr (kUpdate)
            return diff_mask64_update(row + base, seed + base);
        else
            return diff_mask64(row + base, seed + base);
    }
    return base < n ? last_window_mask<kUpdate>(row + base, seed + base, n - base) : 0;
}

// One row against `seed`. With kUpdate the seed becomes the row as it is
// compared (window by window); without, the seed is the previous row of a
// caller who keeps it, and is only read: a const image is encoded without
// copying a byte of it.
template <bool kUpdate, class Seed>
size_t encode_row(unsigned char *out, const unsigned char *row, size_t n, Seed *seed) {
    const RunWriter writer{row, n, out + pclxl::core::delta_row_bound(n)};
    unsigned char *p = out + 2;
    WindowEnd at;
    uint64_t diff = window_mask<kUpdate>(row, seed, n, 0, true);
    for (size_t base = 0; base < n; base += kWindow) {
        const uint64_t next = window_mask<kUpdate>(row, seed, n, base + kWindow, diff == 0);
        if (diff == 0) { // nothing to write
            at.done = 0;
            diff = next;
            continue;
        }
        // Rows of a page come from memory, not cache: where rows change,
        // asking for the bytes 32 windows ahead keeps enough loads in flight
        // (the row before, the seed, is in cache). A prefetch past the end of
        // the row never faults; its address is an integer, as a pointer may
        // not go there.
        __builtin_prefetch(reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(row) + base +
                                                          kPrefetchAhead));
        const uint64_t todo = diff & ~uint64_t{0} << at.done;
        if (todo == ~uint64_t{0} && at.last_end == base) {
            // The run goes on through the whole window (a photo): 8 commands
            // of 8 bytes and offset 0, the last one ending with the window.
            p = put_full_pairs(p, row + base, kWindow / (2 * kMaxRun));
            at.last_end = base + kWindow;
            diff = next;
            continue;
        }
        const size_t spill = at.spill(diff, next);
        // Windows where about half the bytes or more change are busy (judged
        // from every 8th byte).
        const unsigned sampled =
            static_cast<unsigned>(((todo & 0x0101010101010101ull) * 0x0101010101010101ull) >> 56);
        if (sampled >= 4) {
            p = writer.busy(p, at.last_end, todo, next, base);
        } else if (todo != 0) {
            p = writer.walk(p, at.last_end, todo, next, base);
        }
        at.advance(diff, todo, spill, base);
        diff = next;
    }
    return static_cast<size_t>(p - (out + 2));
}

#if PCLXL_HAVE_WIDE_KERNELS
// The form for processors with 512-bit byte compress and expand: busy
// windows are written without a branch on the data.
#define PCLXL_WIDE_TARGET target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt,bmi,bmi2")

struct WideRow : RunWriter {
    // The command bytes of a busy window with an offset of 8 or more, from
    // two lists of positions packed in command order: each command's first
    // byte and one past its last. The count is the difference of the two,
    // the offset its first byte less the previous command's end. False
    // where an offset needs extension bytes.
    __attribute__((always_inline, PCLXL_WIDE_TARGET)) static bool
    far_commands(__m512i &commands, uint64_t diff, uint64_t starts, size_t last_end, size_t spill,
                 size_t base) {
        if (base + static_cast<size_t>(__builtin_ctzll(diff)) - last_end > kInlineMax)
            return false;
        // Each command ends at a changed byte followed by an unchanged one,
        // by another command's start, or by the window's end; the last one
        // then goes on into the next window while it changes there, up to 8
        // bytes in all.
        const uint64_t ends = diff & ((~diff >> 1) | (starts >> 1) | uint64_t{1} << 63);
        const unsigned commands_n = static_cast<unsigned>(__builtin_popcountll(starts));

        const __m512i iota = _mm512_loadu_si512(kWide.iota);
        const __m512i first = _mm512_maskz_compress_epi8(starts, iota);
        __m512i after = _mm512_maskz_compress_epi8(
            ends, _mm512_add_epi8(iota, _mm512_set1_epi8(1))); // one past each end
        after = _mm512_mask_add_epi8(after, uint64_t{1} << (commands_n - 1), after,
                                     _mm512_set1_epi8(static_cast<char>(spill)));
        // The previous command's end, for the first one the last command's
        // (last_end - base, negative when before the window).
        const __m512i after_previous = _mm512_mask_mov_epi8(
            _mm512_maskz_permutexvar_epi8(~uint64_t{0}, _mm512_loadu_si512(kWide.previous), after),
            1, _mm512_set1_epi8(static_cast<char>(last_end - base)));
        const __m512i gap = _mm512_sub_epi8(first, after_previous);
        // Offsets past 30 take extension bytes: such windows are walked.
        if (_mm512_mask_cmpgt_epu8_mask((uint64_t{1} << commands_n) - 1, gap,
                                        _mm512_set1_epi8(kInlineMax)) != 0)
            return false;
        const __m512i len_less_1 =
            _mm512_sub_epi8(_mm512_sub_epi8(after, first), _mm512_set1_epi8(1));
        const __m512i head = _mm512_and_si512(_mm512_slli_epi16(len_less_1, 5),
                                              _mm512_set1_epi8(static_cast<char>(0xE0)));
        commands = _mm512_maskz_expand_epi8(starts, _mm512_or_si512(head, gap));
        return true;
    }

    // A busy window (`diff` without the bytes done before), without a
    // branch on the data. A window's output is, byte by byte, each
    // command's byte where a command starts, then the byte itself where it
    // changed: the command bytes and the row's bytes are interleaved and
    // compressed by the interleaved masks. The last command's bytes from
    // the next window follow. Windows where an offset needs extension
    // bytes, and the last ones before the output's end, are walked instead.
    __attribute__((always_inline, PCLXL_WIDE_TARGET)) unsigned char *
    busy(unsigned char *p, size_t last_end, uint64_t diff, uint64_t whole, uint64_t before,
         uint64_t next, size_t spill, size_t base, __m512i src) const {
        if (out_end - p < static_cast<ptrdiff_t>(2 * kWindow + 2 * kMaxRun))
            return walk(p, last_end, diff, next, base);
        const uint64_t starts = command_starts(diff);
        // Each command's byte where it starts. From the change masks of the
        // window (`whole`, with the bytes done before), the one before and
        // the next, each lane takes the 8 bits before its byte and the 7
        // after: the count is the changed bytes after its first, up to 7,
        // and a run's first command has as its offset the unchanged bytes
        // before it, when fewer than 8.
        const __m512i here = _mm512_set1_epi64(static_cast<long long>(whole));
        const __m512i there = _mm512_set1_epi64(static_cast<long long>(next));
        const __m512i ahead = _mm512_maskz_multishift_epi64_epi8(
            ~uint64_t{0}, _mm512_loadu_si512(kWide.ahead_at),
            _mm512_shrdv_epi64(here, there, _mm512_loadu_si512(kWide.ahead_shift)));
        const __m512i behind = _mm512_maskz_multishift_epi64_epi8(
            ~uint64_t{0}, _mm512_loadu_si512(kWide.behind_at),
            _mm512_shrdv_epi64(_mm512_mask_set1_epi64(here, 1, static_cast<long long>(before)),
                               _mm512_mask_set1_epi64(there, 1, static_cast<long long>(whole)),
                               _mm512_loadu_si512(kWide.behind_shift)));
        const uint64_t run_starts = starts & ~(whole << 1 | before >> 63);
        __m512i commands;
        if (_mm512_mask_testn_epi8_mask(run_starts, behind, _mm512_set1_epi8(0x7F)) == 0) {
            commands = _mm512_or_si512(
                _mm512_permutex2var_epi8(_mm512_loadu_si512(kWide.count_bits), ahead,
                                         _mm512_loadu_si512(kWide.count_bits + 64)),
                _mm512_maskz_permutex2var_epi8(run_starts, _mm512_loadu_si512(kWide.offset), behind,
                                               _mm512_loadu_si512(kWide.offset + 64)));
        } else if (!far_commands(commands, diff, starts, last_end, spill, base)) {
            return walk(p, last_end, diff, next, base);
        }
        // Lane 2i takes the command byte of byte i, lane 2i + 1 byte i.
        constexpr uint64_t kEven = 0x5555555555555555ull;
        const uint64_t keep0 =
            _pdep_u64(starts & 0xFFFFFFFFu, kEven) | _pdep_u64(diff & 0xFFFFFFFFu, ~kEven);
        const uint64_t keep1 = _pdep_u64(starts >> 32, kEven) | _pdep_u64(diff >> 32, ~kEven);
        const __m512i out0 = _mm512_maskz_compress_epi8(
            keep0,
            _mm512_permutex2var_epi8(commands, _mm512_loadu_si512(kWide.interleave_low), src));
        const __m512i out1 = _mm512_maskz_compress_epi8(
            keep1,
            _mm512_permutex2var_epi8(commands, _mm512_loadu_si512(kWide.interleave_high), src));
        const size_t n0 = static_cast<size_t>(__builtin_popcountll(keep0));
        const size_t n1 = static_cast<size_t>(__builtin_popcountll(keep1));
        // Spare bytes after the output are overwritten later or unused.
        _mm512_storeu_si512(p, out0);
        _mm512_storeu_si512(p + n0, out1);
        if (base + kWindow + kMaxRun <= n)
            std::memcpy(p + n0 + n1, row + base + kWindow, kMaxRun);
        else if (spill != 0) // then the next window is in the row
            std::memcpy(p + n0 + n1, row + base + kWindow, spill);
        return p + n0 + n1 + spill;
    }
};

// The change mask of the window at `base` and its bytes in `v` (and, with
// kUpdate, the bytes copied over the seed). A window that reaches past the
// row's end is read through masked loads, which read nothing past it.
template <bool kUpdate, class Seed>
__attribute__((always_inline, PCLXL_WIDE_TARGET)) inline uint64_t
load_window(const unsigned char *row, Seed *seed, size_t n, size_t base, __m512i &v) {
    if (base + kWindow <= n) {
        v = _mm512_loadu_si512(row + base);
        const uint64_t diff = _mm512_cmpneq_epi8_mask(v, _mm512_loadu_si512(seed + base));
        if constexpr (kUpdate)
            if (diff != 0)
                _mm512_storeu_si512(seed + base, v);
        return diff;
    }
    if (base >= n) { // past the row
        v = _mm512_setzero_si512();
        return 0;
    }
    const uint64_t in_row = (uint64_t{1} << (n - base)) - 1;
    v = _mm512_maskz_loadu_epi8(in_row, row + base);
    const uint64_t diff =
        _mm512_mask_cmpneq_epi8_mask(in_row, v, _mm512_maskz_loadu_epi8(in_row, seed + base));
    if constexpr (kUpdate)
        _mm512_mask_storeu_epi8(seed + base, diff, v);
    return diff;
}

// One row in the wide form, each window's mask and bytes taken one window
// ahead.
template <bool kUpdate, class Seed>
__attribute__((PCLXL_WIDE_TARGET)) size_t
encode_row_wide(unsigned char *out, const unsigned char *row, size_t n, Seed *seed) {
    const WideRow wide{{row, n, out + pclxl::core::delta_row_bound(n)}};
    unsigned char *p = out + 2;
    WindowEnd at;
    // The change mask of the window before; before the row, as if changed,
    // so that offsets count from the row's start.
    uint64_t before = ~uint64_t{0};
    __m512i src;
    uint64_t diff = load_window<kUpdate>(row, seed, n, 0, src);
    for (size_t base = 0; base < n; base += kWindow) {
        __m512i after_src;
        const uint64_t next = load_window<kUpdate>(row, seed, n, base + kWindow, after_src);
        if (diff == 0) { // nothing to write
            at.done = 0;
            before = 0;
            diff = next;
            src = after_src;
            continue;
        }
        // Rows of a page come from memory, not cache: where rows change,
        // asking for the bytes 32 windows ahead keeps enough loads in flight
        // (the row before, the seed, is in cache). A prefetch past the end of
        // the row never faults; its address is an integer, as a pointer may
        // not go there.
        __builtin_prefetch(reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(row) + base +
                                                          kPrefetchAhead));
        const uint64_t todo = diff & ~uint64_t{0} << at.done;
        if (todo == ~uint64_t{0} && at.last_end == base) { // a photo, as in encode_row
            p = put_full_pairs_ssse3(p, row + base, kWindow / (2 * kMaxRun));
            at.last_end = base + kWindow;
            before = diff;
            diff = next;
            src = after_src;
            continue;
        }
        const size_t spill = at.spill(diff, next);
        if (__builtin_popcountll(todo) >= 24) {
            p = wide.busy(p, at.last_end, todo, diff, before, next, spill, base, src);
        } else if (todo != 0) {
            p = wide.walk(p, at.last_end, todo, next, base);
        }
        at.advance(diff, todo, spill, base);
        before = diff;
        diff = next;
        src = after_src;
    }
    return static_cast<size_t>(p - (out + 2));
}
#endif

// One encoded row, count field included, by the chosen form: what the
// library's entry points return.
template <bool kUpdate, bool kWideWindows, class Seed>
int encode_delta_row(unsigned char *out, const unsigned char *row, size_t n, Seed *seed) {
    size_t count;
#if PCLXL_HAVE_WIDE_KERNELS
    if constexpr (kWideWindows)
        count = encode_row_wide<kUpdate>(out, row, n, seed);
    else
#endif
        count = encode_row<kUpdate>(out, row, n, seed);
    // The count field is 16 bits. Rows of up to 58253 bytes always fit; a
    // longer row whose commands exceed 65535 bytes cannot be carried, and
    // its field keeps the low 16 bits (no caller produces such rows).
    out[0] = static_cast<unsigned char>(count);
    out[1] = static_cast<unsigned char>(count >> 8);
    return static_cast<int>(count + 2);
}

} // namespace pclxl::raster

#endif
