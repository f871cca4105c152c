// Session, data-source and page framing: bytes, pieces and trace lines; and
// the paper sizes in pixels.
#include <gtest/gtest.h>

#include "capture.h"

using namespace pclxl_test;

namespace {

using Pieces = std::vector<std::string>;

// The 16 pieces of every page's default graphics state after the origin.
const Pieces kDefaultState = {"C3 00 00 F8 29", "76", "C0 CC F8 2C", "7B", "C0 00 F8 2D", "7C",
                              "C0 00 F8 2D",    "78", "C0 00 F8 05", "79", "C0 00 F8 04", "63",
                              "C0 00 F8 46",    "6E"};

Pieces concat(Pieces a, const Pieces &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(Session, FramingOperators) {
    struct Case {
        const char *what;
        std::function<void()> call;
        Pieces pieces;
        const char *trace;
    } cases[] = {
        {"begin session",
         [] { pclxl_begin_session(600, 600); },
         {"D1 58 02 58 02 F8 89", "C0 00 F8 86", "C0 03 F8 8F", "41"},
         "=> pclxl_begin_session\n<= pclxl_begin_session\n"},
        {"open data source",
         [] { pclxl_open_datasource(); },
         {"C0 00 F8 88", "C0 01 F8 82", "48"},
         "=> pclxl_open_datasource\n<= pclxl_open_datasource\n"},
        {"close data source",
         [] { pclxl_close_datasource(); },
         {"49"},
         "<= pclxl_close_datasource\n"},
        {"end session",
         [] { pclxl_end_session(); },
         {"42"},
         "=> pclxl_end_session\n<= pclxl_end_session\n"},
        {"end page, not collated",
         [] { pclxl_end_page(false, 2); },
         {"C1 02 00 F8 31", "44"},
         "=> pclxl_end_page\n<= pclxl_end_page\n"},
        {"end page, collated",
         [] { pclxl_end_page(true, 5); },
         {"C1 01 00 F8 31", "44"},
         "=> pclxl_end_page\n<= pclxl_end_page\n"},
        {"page origin",
         [] { _pclxl_set_pageOrigin16(0xFFFF, 2); },
         {"D3 FF FF 02 00 F8 2A", "75"},
         ""},
        {"page rotation", [] { _pclxl_set_pageRotation(90); }, {"C3 5A 00 F8 29", "76"}, ""},
        {"page scale", [] { _pclxl_set_pageScale(); }, {"D5 3F 80 00 00 3F 80 00 00 F8 2B 77"}, ""},
    };
    for (const Case &c : cases) {
        Capture cap;
        EXPECT_EQ(capture_stderr(c.call), c.trace) << c.what;
        EXPECT_EQ(cap.hex_pieces(), c.pieces) << c.what;
    }
}

struct Page {
    const char *duplex = "simplex";
    const char *size_name = "A4";
    int32_t size_code = 2;
    const char *media_type = "Plain";
    int32_t source = 1;
    uint16_t margin_x = 0, margin_y = 0;
    float width = 0, height = 0;
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

TEST(Page, SizeByCodeAndCustom) {
    Page by_code;
    Written w = begin_page(by_code);
    EXPECT_EQ(w.pieces,
              concat({"C0 00 F8 28", "C0 01 F8 26", "C0 02 F8 25",
                      "C8 C1 05 00 50 6C 61 69 6E F8 27 43 61 74", "D3 00 00 00 00 F8 2A", "75"},
                     kDefaultState));
    EXPECT_EQ(w.err, "=> test pclxl_begin_page\nmedia_size_pclxl_str:A4, media_size_pclxl_code = "
                     "2\n<= pclxl_begin_page\n");

    Page custom;
    custom.size_name = "CUSTOM";
    custom.size_code = 2; // ignored for a custom size
    custom.margin_x = 96;
    custom.margin_y = 100;
    custom.width = 4768.0f;
    custom.height = 6816.0f;
    w = begin_page(custom);
    EXPECT_EQ(w.pieces, concat({"C0 00 F8 28", "C0 01 F8 26",
                                "C8 C1 05 00 50 6C 61 69 6E F8 27 D1 34 08 9A 0B F8 2F C0 02 F8 30 "
                                "43 61 74",
                                "D3 60 00 64 00 F8 2A", "75"},
                               kDefaultState));
    EXPECT_EQ(w.err,
              "=> test pclxl_begin_page\nmediasize: custom, custom_page_width = 4960.000000, "
              "custom_page_height = 7016.000000, after PIXEL_TO_MM100: width = 2100, height "
              "= 2970\n<= pclxl_begin_page\n");
}

// The setup block's size part as hex, from a page's pieces.
std::string setup_block(const Pieces &pieces) {
    for (const std::string &p : pieces)
        if (p.rfind("C8 C1", 0) == 0)
            return p;
    return "";
}

// A size code below 0 sends the name; a custom size is chosen by the name's
// first four characters and its pixels round half up.
TEST(Page, SizeByNameAndCustomRounding) {
    struct Case {
        const char *name;
        int32_t code;
        float width, height;
        const char *size_part; // empty: the size went by its code
    } cases[] = {
        {"A4", -1, 0, 0, "C8 C1 02 00 41 34 F8 25"},
        {"CUSTOM.210x297mm", 2, 4960.0f, 7016.0f, "D1 34 08 9A 0B F8 2F C0 02 F8 30"},
        {"CUST", 2, 3.0f, 1000000.0f, "D1 01 00 FF FF F8 2F C0 02 F8 30"},
        {"CUS", 2, 1.0f, 2.0f, ""},
        {"custom", 2, 1.0f, 2.0f, ""},
    };
    for (const Case &c : cases) {
        Page p;
        p.size_name = c.name;
        p.size_code = c.code;
        p.width = c.width;
        p.height = c.height;
        const std::string part = *c.size_part ? c.size_part + std::string(" ") : "";
        EXPECT_EQ(setup_block(begin_page(p).pieces),
                  "C8 C1 05 00 50 6C 61 69 6E F8 27 " + part + "43 61 74")
            << c.name;
    }
}

// A missing media type falls back to Plain; both fallbacks warn.
TEST(Page, DuplexBindingSourceAndMediaTypeFallback) {
    const std::string no_type =
        "Warning: media_type_pclxl_str is NULL or strlen(media_type_pclxl_str) is 0.\n";
    const std::string low_source = "Warning: media_source_pclxl_id less than 0.\n";
    struct Case {
        const char *duplex;
        int32_t source;
        const char *type;
        Pieces head;
        std::string warnings;
    } cases[] = {
        {"", 1, "Plain", {"C0 00 F8 28", "C0 01 F8 26"}, ""},
        {"simplex", 255, "Plain", {"C0 00 F8 28", "C0 FF F8 26"}, ""},
        {"duplex", 1, "Plain", {"C0 00 F8 28", "C0 00 F8 35", "C0 01 F8 26"}, ""},
        {"duplex_long_edge", 1, "Plain", {"C0 00 F8 28", "C0 01 F8 35", "C0 01 F8 26"}, ""},
        {"simplex+", -3, "Plain", {"C0 00 F8 28", "C0 01 F8 35", "C0 00 F8 26"}, low_source},
        {"simplex", -1, nullptr, {"C0 00 F8 28", "C0 00 F8 26"}, low_source + no_type},
        {"simplex", 1, "", {"C0 00 F8 28", "C0 01 F8 26"}, no_type},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.duplex);
        Page p;
        p.duplex = c.duplex;
        p.source = c.source;
        p.media_type = c.type;
        Written w = begin_page(p);
        EXPECT_EQ(Pieces(w.pieces.begin(), w.pieces.begin() + c.head.size()), c.head);
        EXPECT_EQ(setup_block(w.pieces), "C8 C1 05 00 50 6C 61 69 6E F8 27 43 61 74");
        EXPECT_EQ(w.err, "=> test pclxl_begin_page\n" + c.warnings +
                             "media_size_pclxl_str:A4, media_size_pclxl_code = 2\n<= "
                             "pclxl_begin_page\n");
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

// Paper pixel sizes: exact, case-sensitive names.
TEST(MediaTables, PaperPixelsAt600Dpi) {
    struct Case {
        const char *name;
        int32_t width, height;
    } cases[] = {
        {"A4", 4768, 6816}, {"A5_Hor", 3304, 4768}, {"Letter", 4908, 6408},
        {"a4", 0, 0},       {"A4 ", 0, 0},          {"", 0, 0},
        {"Legal", 0, 0}, // a paper without a printable size
    };
    for (const Case &c : cases) {
        int32_t w = -1, h = -1;
        std::string err = capture_stderr([&] { get_paper_pixel_pclxl(c.name, &w, &h); });
        EXPECT_EQ(w, c.width) << c.name;
        EXPECT_EQ(h, c.height) << c.name;
        EXPECT_EQ(err, "");
    }
}

} // namespace
