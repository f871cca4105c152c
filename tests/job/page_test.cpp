// Session, data-source and page framing: bytes, pieces and trace lines; and
// the paper sizes in pixels.
#include <gtest/gtest.h>

#include <tuple>

#include "capture.h"

using namespace pclxl_test;

namespace {

using Pieces = std::vector<std::string>;

// Framing operators: the trace lines the name asks for ("=> name" and
// "<= name"; "<= name": only the second; no name: none) and the pieces.
TEST(Session, FramingOperators) {
    const std::tuple<const char *, std::function<void()>, Pieces> cases[] = {
        {"=> pclxl_begin_session",
         [] { pclxl_begin_session(600, 600); },
         {"D1 58 02 58 02 F8 89", "C0 00 F8 86", "C0 03 F8 8F", "41"}},
        {"=> pclxl_open_datasource",
         [] { pclxl_open_datasource(); },
         {"C0 00 F8 88", "C0 01 F8 82", "48"}},
        {"<= pclxl_close_datasource", [] { pclxl_close_datasource(); }, {"49"}},
        {"=> pclxl_end_session", [] { pclxl_end_session(); }, {"42"}},
        {"=> pclxl_end_page", [] { pclxl_end_page(false, 2); }, {"C1 02 00 F8 31", "44"}},
        {"=> pclxl_end_page", [] { pclxl_end_page(true, 5); }, {"C1 01 00 F8 31", "44"}},
        {"", [] { _pclxl_set_pageScale(); }, {"D5 3F 80 00 00 3F 80 00 00 F8 2B 77"}},
    };
    for (const auto &[trace, call, pieces] : cases) {
        SCOPED_TRACE(trace);
        Capture cap;
        const std::string name = *trace ? trace + 3 : "";
        EXPECT_EQ(capture_stderr(call), !*trace           ? ""
                                        : trace[0] == '<' ? "<= " + name + "\n"
                                                          : "=> " + name + "\n<= " + name + "\n");
        EXPECT_EQ(cap.hex_pieces(), pieces);
    }
}

struct Page {
    const char *size_name = "A4";
    float width = 0, height = 0;
    const char *duplex = "simplex";
    int32_t source = 1;
    const char *media_type = "Plain";
    int32_t size_code = 2;
    uint16_t margin_x = 0, margin_y = 0;
};

struct Written {
    Pieces pieces;
    std::string err;
};

Written begin_page(const Page &p) {
    Capture cap;
    std::string err = capture_stderr([&] {
        pclxl_begin_page(7, 8, p.duplex, p.size_name, p.size_code, p.media_type, p.source,
                         p.margin_x, p.margin_y, p.width, p.height);
    });
    return {cap.hex_pieces(), err};
}

// A whole page setup: margins give the origin, the default graphics state
// follows; a custom size ignores the size code.
TEST(Page, CustomSizeWithMargins) {
    Written w = begin_page({"CUSTOM", 4768.0f, 6816.0f, "simplex", 1, "Plain", 2, 96, 100});
    EXPECT_EQ(w.pieces, (Pieces{"C0 00 F8 28", "C0 01 F8 26",
                                "C8 C1 05 00 50 6C 61 69 6E F8 27 D1 34 08 9A 0B F8 2F C0 02 F8 30 "
                                "43 61 74",
                                "D3 60 00 64 00 F8 2A", "75", "C3 00 00 F8 29", "76", "C0 CC F8 2C",
                                "7B", "C0 00 F8 2D", "7C", "C0 00 F8 2D", "78", "C0 00 F8 05", "79",
                                "C0 00 F8 04", "63", "C0 00 F8 46", "6E"}));
    EXPECT_EQ(w.err,
              "=> test pclxl_begin_page\nmediasize: custom, custom_page_width = 4960.000000, "
              "custom_page_height = 7016.000000, after PIXEL_TO_MM100: width = 2100, height "
              "= 2970\n<= pclxl_begin_page\n");
}

// The pieces between the first and the setup block, and the size part of
// the setup block. A size code below 0 sends the name; a custom size is
// chosen by the name's first four characters and its pixels round half up.
// A missing media type falls back to Plain; both fallbacks warn.
TEST(Page, DuplexSourceSizeAndFallbacks) {
    enum { Source = 1, Type = 2 };
    const struct {
        Page page;
        const char *before, *size_part;
        int warnings;
    } cases[] = {
        {{"A4", 0, 0, ""}, "C0 01 F8 26 C0 02 F8 25", "", 0},
        {{"A4", 0, 0, "simplex", 255}, "C0 FF F8 26 C0 02 F8 25", "", 0},
        {{"A4", 0, 0, "duplex"}, "C0 00 F8 35 C0 01 F8 26 C0 02 F8 25", "", 0},
        {{"A4", 0, 0, "duplex_long_edge"}, "C0 01 F8 35 C0 01 F8 26 C0 02 F8 25", "", 0},
        {{"A4", 0, 0, "simplex+", -3}, "C0 01 F8 35 C0 00 F8 26 C0 02 F8 25", "", Source},
        {{"A4", 0, 0, "simplex", -1, nullptr}, "C0 00 F8 26 C0 02 F8 25", "", Source | Type},
        {{"A4", 0, 0, "simplex", 1, ""}, "C0 01 F8 26 C0 02 F8 25", "", Type},
        {{"A4", 0, 0, "simplex", 1, "Plain", -1}, "C0 01 F8 26", "C8 C1 02 00 41 34 F8 25 ", 0},
        {{"CUSTOM.210x297mm", 4960, 7016}, "C0 01 F8 26", "D1 34 08 9A 0B F8 2F C0 02 F8 30 ", 0},
        {{"CUST", 3, 1e6f}, "C0 01 F8 26", "D1 01 00 FF FF F8 2F C0 02 F8 30 ", 0},
        {{"CUS", 1, 2}, "C0 01 F8 26 C0 02 F8 25", "", 0},
        {{"custom", 1, 2}, "C0 01 F8 26 C0 02 F8 25", "", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.page.duplex) + " " + c.page.size_name);
        Written w = begin_page(c.page);
        ASSERT_GE(w.pieces.size(), 3u);
        EXPECT_EQ(w.pieces[0], "C0 00 F8 28");
        std::string before;
        size_t i = 1;
        for (; i < w.pieces.size() && w.pieces[i].rfind("C8 C1", 0) != 0; ++i)
            before += (before.empty() ? "" : " ") + w.pieces[i];
        EXPECT_EQ(before, c.before);
        ASSERT_LT(i, w.pieces.size());
        EXPECT_EQ(w.pieces[i],
                  "C8 C1 05 00 50 6C 61 69 6E F8 27 " + std::string(c.size_part) + "43 61 74");
        if (c.page.width == 0) {
            EXPECT_EQ(w.err, "=> test pclxl_begin_page\n" +
                                 std::string(c.warnings & Source
                                                 ? "Warning: media_source_pclxl_id less than 0.\n"
                                                 : "") +
                                 (c.warnings & Type ? "Warning: media_type_pclxl_str is NULL or "
                                                      "strlen(media_type_pclxl_str) is 0.\n"
                                                    : "") +
                                 "media_size_pclxl_str:A4, media_size_pclxl_code = " +
                                 std::to_string(c.page.size_code) + "\n<= pclxl_begin_page\n");
        }
    }
}

// Texts longer than a 16-bit array length are refused with nothing written.
TEST(Page, OverlongTextIsRefused) {
    Capture cap;
    std::string huge(70000, 'h');
    std::string err = capture_stderr(
        [&] { pclxl_begin_page(0, 0, "simplex", "A4", 2, huge.c_str(), 0, 0, 0, 0, 0); });
    EXPECT_TRUE(cap.pieces().empty());
    EXPECT_EQ(err, "=> test pclxl_begin_page\npclxl_begin_page(): Fatal Error: media type or size "
                   "name longer than 65535 bytes\n");
}

// Paper pixel sizes: exact, case-sensitive names; 0 x 0 for the rest.
TEST(MediaTables, PaperPixelsAt600Dpi) {
    const struct {
        const char *name;
        int32_t width, height;
    } cases[] = {{"A4", 4768, 6816},
                 {"Letter", 4908, 6408},
                 {"a4", 0, 0},
                 {"A4 ", 0, 0},
                 {"Legal", 0, 0}}; // a paper without a printable size
    for (const auto &c : cases) {
        int32_t w = -1, h = -1;
        EXPECT_EQ(capture_stderr([&] { get_paper_pixel_pclxl(c.name, &w, &h); }), "");
        EXPECT_EQ(std::make_pair(w, h), std::make_pair(c.width, c.height)) << c.name;
    }
}

} // namespace
