// Property: any sequence of library calls that a host may make, with any
// arguments within the documented limits, gives a stream the job reader
// accepts; calls outside the limits that the library refuses write nothing
// and give their one error line; and no call touches memory it should not.
//
// The input chooses the job header, the session, the pages and each
// page's drawing: graphics state, paths, images, bitmap fonts and text,
// comments. The frame (job, session, data source, page) is kept in order,
// because the library leaves the order of calls to the host.
#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "pclxl.h"
#include "reader.h"

using pclxl_fuzz::Input;
using pclxl_fuzz::Stream;

namespace {

const char *const kPapers[] = {"A4", "A3", "A5", "Letter", "Legal", "BIG 16K", "JIS_B5", ""};
const char *const kMediaTypes[] = {"plain", "plain_1", "labels", "film", ""};
const char *const kTrays[] = {"auto", "tray_1", "mpf_tray", ""};
const char *const kColors[] = {"color", "col", "", "mono", "gray"};
const char *const kDuplex[] = {"simplex", "sim", "", "duplex_short_edge", "duplex_long_edge"};
const char *const kSizes[] = {"A4", "LETTER", "CUSTOM", "CUST", "eA4Paper"};

template <size_t N> std::string pick(Input &in, const char *const (&words)[N]) {
    // Mostly a known word; sometimes any text at all (CR, LF, quotes, ...).
    const uint8_t k = in.u8();
    return k < 200 ? words[k % N] : in.text(k == 255 ? 300 : 40);
}

std::vector<_point16> points(Input &in, size_t n) {
    std::vector<_point16> p(n);
    for (auto &pt : p) {
        pt.x = static_cast<int16_t>(in.u16());
        pt.y = static_cast<int16_t>(in.u16());
    }
    return p;
}

struct Run {
    Input &in;
    Stream &out;
    pclxl_fuzz::StderrCapture &err;
    std::set<std::pair<std::string, int>> fonts; // defined in this session
    std::pair<std::string, int> selected{"", -1};

    // A call the library must refuse: one error line, nothing written.
    template <typename F> void refused(const char *what, F call) {
        err.take();
        const size_t before = out.bytes.size();
        call();
        const std::string lines = err.take();
        FUZZ_CHECK(out.bytes.size() == before, "%s wrote %zu bytes", what,
                   out.bytes.size() - before);
        FUZZ_CHECK(lines.find("Fatal Error") != std::string::npos &&
                       lines.find('\n') == lines.size() - 1,
                   "%s: stderr was \"%s\"", what, lines.c_str());
    }

    void graphics_state() {
        switch (in.u8() % 16) {
        case 0: pclxl_set_rop3(in.u8()); break;
        case 1:
            pclxl_addRGBColor(static_cast<int>(in.u32()));
            in.flag() ? pclxl_set_pen_source() : pclxl_set_brush_source();
            break;
        case 2:
            pclxl_addGrayAttr(in.u8());
            in.flag() ? pclxl_set_pen_source() : pclxl_set_brush_source();
            break;
        case 3: in.flag() ? pclxl_set_pen_source_null() : pclxl_set_brush_source_null(); break;
        case 4: pclxl_set_fill_mode(in.u8() % 2); break;
        case 5: pclxl_set_pen_width(static_cast<int>(in.u32())); break;
        case 6: pclxl_set_line_cap_style(in.u8() % 4); break;
        case 7: pclxl_set_line_join_style(in.u8() % 4); break;
        case 8: pclxl_set_miter_limit(static_cast<short>(in.u16())); break;
        case 9: {
            const auto n = static_cast<unsigned short>(in.range(1, 20));
            std::vector<short> dashes(n);
            for (auto &d : dashes)
                d = static_cast<short>(in.range(1, 500));
            pclxl_set_line_dash(dashes.data(), n);
            break;
        }
        case 10: pclxl_set_solid_line(); break;
        case 11: pclxl_set_clip_to_page(); break;
        case 12: pclxl_set_clip_mode(in.u8() % 2); break;
        case 13: pclxl_set_color_space(in.range(1, 2)); break;
        case 14: {
            pclxl_new_path();
            auto r = points(in, 2);
            pclxl_add_rect16(r.data());
            in.flag() ? pclxl_set_clip_replace(in.u8() % 2) : pclxl_set_clip_intersect(in.u8() % 2);
            break;
        }
        default:
            pclxl_set_color_space_with_palette(in.range(1, 2), static_cast<int>(in.u32()),
                                               static_cast<int>(in.u32()));
            break;
        }
    }

    void path() {
        switch (in.u8() % 10) {
        case 0: pclxl_new_path(); break;
        case 1: pclxl_set_cursorXY(static_cast<int>(in.u32()), static_cast<int>(in.u32())); break;
        case 2: pclxl_end_path(static_cast<short>(in.u16()), static_cast<short>(in.u16())); break;
        case 3: {
            const bool bezier = in.flag();
            const size_t n = static_cast<size_t>(in.range(1, 40)) * (bezier ? 3 : 1);
            auto p = points(in, n);
            pclxl_add_polyLinePath16(p.data(), static_cast<unsigned>(n), bezier ? 0x93 : 0x9B);
            break;
        }
        case 4: {
            auto p = points(in, 3);
            pclxl_curve_bezier(&p[0], &p[1], &p[2]);
            break;
        }
        case 5: {
            auto p = points(in, 3);
            pclxl_add_round_rect16(p.data());
            break;
        }
        case 6: {
            auto p = points(in, 4);
            pclxl_arc16(p.data());
            break;
        }
        case 7: {
            // Sometimes the longest polygon the library takes.
            const int n = in.u8() == 0xFF ? 16384 : static_cast<int>(in.range(1, 60));
            auto p = points(in, static_cast<size_t>(n));
            in.flag() ? pclxl_draw_path16(p.data(), n) : pclxl_draw_poly_bezier16(n, p.data());
            break;
        }
        case 8: {
            // Outside the limits: refused without reading the points.
            const int n = in.flag() ? static_cast<int>(-in.range(0, 5)) : 16385 + in.u8();
            _point16 one{1, 1};
            if (in.flag())
                refused("pclxl_draw_path16", [&] { pclxl_draw_path16(&one, n); });
            else
                refused("pclxl_draw_poly_bezier16", [&] { pclxl_draw_poly_bezier16(n, &one); });
            break;
        }
        default:
            pclxl_close_sub_path();
            pclxl_paint_path();
            break;
        }
    }

    void image() {
        // A colour space that agrees with the depth, as the host must set.
        static const int depths[] = {1, 8, 24, 32};
        const int bpp = depths[in.u8() % 4];
        const int32_t width = static_cast<int32_t>(in.range(1, 300));
        const int32_t height = static_cast<int32_t>(in.range(0, 200));
        const int32_t row = bpp == 1 ? (width + 7) / 8 : width * (bpp / 8);
        const int32_t stride = row + (bpp == 1 ? 0 : static_cast<int32_t>(in.range(0, 8)));
        if (bpp == 1)
            pclxl_set_color_space_with_palette(in.range(1, 2), static_cast<int>(in.u32()),
                                               static_cast<int>(in.u32()));
        else
            pclxl_set_color_space(bpp == 8 ? 1 : 2);
        std::vector<uint8_t> pixels = in.fill(static_cast<size_t>(stride) * height);
        const int16_t x = static_cast<int16_t>(in.u16()), y = static_cast<int16_t>(in.u16());
        const uint16_t dest_width = in.u16(), dest_height = in.u16();
        // The const call takes the same pixels, in either colour order.
        const int32_t format = bpp > 8 && in.flag() ? (bpp | 0x100) : bpp; // 0x100: R,G,B
        const int ok = in.flag()
                           ? pclxl_write_pixels(format, pixels.data(), width, height, stride, x, y,
                                                dest_width, dest_height)
                           : pclxl_write_bitmap_data(bpp == 1 ? 1 : 0, pixels.data(), width, height,
                                                     stride, bpp, x, y, dest_width, dest_height);
        FUZZ_CHECK(ok == 1, "a valid image was refused");
    }

    void bad_image() {
        uint8_t pixels[16] = {};
        const int kind = in.u8() % 4;
        const int32_t bpp = kind == 0 ? static_cast<int32_t>(in.u32()) | 2 : 8;
        const int32_t width = kind == 1 ? 32768 + static_cast<int32_t>(in.u16()) : 4;
        const int32_t height = kind == 2 ? 65536 + static_cast<int32_t>(in.u16()) : 1;
        refused("pclxl_write_bitmap_data", [&] {
            FUZZ_CHECK(pclxl_write_bitmap_data(0, kind == 3 ? nullptr : pixels, width, height, 4,
                                               bpp == 24 || bpp == 32 ? 3 : bpp, 0, 0, 4, 1) == 0,
                       "an image outside the limits was accepted");
        });
    }

    std::string font_name() {
        const uint8_t k = in.u8();
        return k < 128 ? std::string(1, static_cast<char>('a' + k % 4)) : in.text(40);
    }

    void text() {
        switch (in.u8() % 5) {
        case 0: {
            auto key = std::make_pair(font_name(), static_cast<int>(in.range(100, 200)));
            if (fonts.count(key))
                return; // a name is defined once per session
            // The session's resolution would print 1:1; any is allowed.
            pclxl_set_font_header_for_bitmap(key.first.c_str(), static_cast<uint16_t>(key.second),
                                             static_cast<uint16_t>(in.range(1, 2400)),
                                             static_cast<uint16_t>(in.range(1, 2400)));
            fonts.insert(key);
            return;
        }
        case 1: {
            if (fonts.empty())
                return;
            const auto &key = *std::next(fonts.begin(), in.u8() % fonts.size());
            const uint16_t w = static_cast<uint16_t>(in.range(1, 64));
            const uint16_t h = static_cast<uint16_t>(in.range(1, 64));
            std::vector<uint8_t> bits = in.fill(((w + 7u) / 8) * h);
            pclxl_set_char_for_bitmap(key.first.c_str(), key.second, in.u16(), bits.data(),
                                      static_cast<int>(bits.size()),
                                      static_cast<int>(in.range(-16384, 16384)),
                                      static_cast<int>(in.range(-16384, 16384)), w, h);
            return;
        }
        case 2: {
            if (fonts.empty())
                return;
            selected = *std::next(fonts.begin(), in.u8() % fonts.size());
            pclxl_set_font_for_bitmap(selected.first.c_str(), selected.second,
                                      static_cast<float>(in.range(-100, 100)));
            return;
        }
        case 3: {
            if (selected.second < 0 || !fonts.count(selected))
                return;
            const auto n = static_cast<uint16_t>(in.range(1, 255));
            std::vector<uint16_t> codes(n);
            for (auto &c : codes)
                c = in.u16();
            std::vector<uint8_t> spacing = in.fill(n);
            pclxl_paint_text_for_bitmap(codes.data(), n, in.flag() ? spacing.data() : nullptr, n,
                                        0);
            return;
        }
        default: {
            if (in.flag()) { // a name too long for the stream: refused
                const std::string name(static_cast<size_t>(in.range(76, 400)), 'n');
                refused("pclxl_remove_font_for_bitmap",
                        [&] { pclxl_remove_font_for_bitmap(name.c_str(), 100); });
                return;
            }
            if (fonts.empty())
                return;
            const auto key = *std::next(fonts.begin(), in.u8() % fonts.size());
            pclxl_remove_font_for_bitmap(key.first.c_str(), static_cast<uint16_t>(key.second));
            fonts.erase(key);
            if (key == selected)
                selected = {"", -1};
            return;
        }
        }
    }

    void page() {
        const std::string duplex = pick(in, kDuplex), size = pick(in, kSizes),
                          type = in.u8() < 200 ? "Plain" : in.text(60);
        const int32_t code = static_cast<int32_t>(in.range(-1, 255));
        const int32_t source = static_cast<int32_t>(in.range(-1, 255));
        const uint16_t mx = in.u16(), my = in.u16();
        // Custom sizes in pixels at 600 dpi whose tenths of a millimetre
        // fit 16 bits.
        const float cw = static_cast<float>(in.range(0, 150000)),
                    ch = static_cast<float>(in.range(0, 150000));
        pclxl_begin_page(0, 0, duplex.c_str(), size.c_str(), code,
                         in.flag() ? nullptr : type.c_str(), source, mx, my, cw, ch);
        for (int ops = static_cast<int>(in.range(0, 30)); ops > 0 && !in.empty(); --ops) {
            switch (in.u8() % 8) {
            case 0:
            case 1: graphics_state(); break;
            case 2:
            case 3: path(); break;
            case 4: image(); break;
            case 5: text(); break;
            case 6: bad_image(); break;
            default: {
                auto bytes = in.bytes(300);
                pclxl_add_comment(bytes.empty() ? static_cast<const void *>("") : bytes.data(),
                                  static_cast<uint32_t>(bytes.size()));
                break;
            }
            }
        }
        pclxl_end_page(in.flag(), in.u16());
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input in(data, size);
    Stream out;
    // The stream goes through the process-wide sink or a writer of the
    // thread's own; the bytes must not differ.
    pclxl_writer *writer = in.flag() ? pclxl_writer_new(&out, Stream::on_write) : nullptr;
    pclxl_init(writer ? nullptr : &out, writer ? nullptr : Stream::on_write);
    pclxl_writer_use(writer);
    {
        pclxl_fuzz::StderrCapture err;
        Run run{in, out, err, {}, {"", -1}};
        if (in.flag()) {
            // Job settings with any host text for the names.
            static const uint16_t kResolutions[] = {0, 300, 600, 1200};
            const std::string paper = pick(in, kPapers), type = pick(in, kMediaTypes),
                              tray = pick(in, kTrays), color = pick(in, kColors),
                              duplex = pick(in, kDuplex), job = in.text(in.flag() ? 300 : 40),
                              user = in.text(40);
            pclxl_job_settings s{};
            s.size = sizeof s;
            s.paper_name = paper.c_str();
            s.media_type = type.c_str();
            s.media_source = tray.c_str();
            s.color_mode = color.c_str();
            s.collate = in.flag();
            s.duplex_mode = duplex.c_str();
            s.copies = in.u32();
            s.job_name = in.flag() ? job.c_str() : nullptr;
            s.user_name = in.flag() ? user.c_str() : nullptr;
            s.resolution = kResolutions[in.u8() % 4];
            FUZZ_CHECK(pclxl_start_job_with(&s) == 1, "valid job settings were refused");
        } else if (in.flag()) {
            const std::string paper = pick(in, kPapers), type = pick(in, kMediaTypes),
                              tray = pick(in, kTrays), color = pick(in, kColors),
                              duplex = pick(in, kDuplex);
            pclxl_start_job_new(paper.c_str(), type.c_str(), tray.c_str(), color.c_str(), in.flag(),
                                duplex.c_str(), in.u32());
        } else {
            const std::string color = pick(in, kColors);
            pclxl_start_job(color.c_str(), in.u32());
        }
        pclxl_begin_session(static_cast<uint16_t>(in.range(1, 65535)),
                            static_cast<uint16_t>(in.range(1, 65535)));
        pclxl_open_datasource();
        for (int pages = static_cast<int>(in.range(0, 3)); pages > 0; --pages)
            run.page();
        pclxl_close_datasource();
        pclxl_end_session();
        pclxl_end_job();
    }
    pclxl_writer_use(nullptr);
    pclxl_writer_free(writer);
    pclxl_init(nullptr, nullptr);

    pclxl_reader::Source source(out.bytes.data(), out.bytes.size());
    pclxl_reader::Listener listener;
    pclxl_reader::Summary summary;
    pclxl_reader::Error error;
    FUZZ_CHECK(pclxl_reader::read_job(source, listener, summary, error),
               "the reader rejects the stream at offset %llu: %s",
               static_cast<unsigned long long>(error.offset), error.message.c_str());
    return 0;
}
