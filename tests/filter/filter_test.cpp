// The filter's page loop on rasters made in memory: what each raster
// becomes, what the job header says, and how bad input and cancellation end
// the job.
#include <gtest/gtest.h>

#include <cstring>

#include "raster_maker.h"

using namespace filter_test;

namespace {

const std::string kUel = "\x1b%-12345X";
const std::string kTrailer = kUel + "@PJL EOJ\r\n" + kUel;
const std::string kPageOpened = bytes({0x43, 0x61, 0x74}); // BeginPage PushGS SetPageDefaultCTM
const std::string kPageClosed = bytes({0xF8, 0x31, 0x44}); // PageCopies, EndPage
const std::string kImageBegun = bytes({0xF8, 0x67, 0xB0}); // DestinationSize, BeginImage

Page filled(cups_page_header2_t h, unsigned char value) {
    return {h, [h, value](unsigned, unsigned char *row) {
                std::memset(row, value, h.cupsBytesPerLine);
            }};
}

Page gray_page() { return filled(a4_header(8, CUPS_CSPACE_SW), 0x40); }

// Every line on stderr is a filter message the scheduler expects; the
// library's lines among them.
void expect_filter_messages(const std::string &messages) {
    size_t start = 0;
    for (size_t end; (end = messages.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = messages.substr(start, end - start);
        bool known = false;
        for (const char *prefix : {"DEBUG: ", "INFO: ", "ERROR: ", "PAGE: "})
            known |= line.rfind(prefix, 0) == 0;
        EXPECT_TRUE(known) << line;
    }
    EXPECT_EQ(start, messages.size()) << "unterminated line";
}

// A whole job: PJL header, `pages` opened and closed pages, end of data
// source and session, trailer.
void expect_job(const Result &r, size_t pages) {
    ASSERT_EQ(0u, r.output.rfind(kUel + "@PJL JOB\r\n", 0)) << r.messages;
    EXPECT_NE(std::string::npos, r.output.find("@PJL ENTER LANGUAGE=PCLXL\r\n"));
    ASSERT_GE(r.output.size(), kTrailer.size() + 2);
    EXPECT_EQ(bytes({0x49, 0x42}) + kTrailer, r.output.substr(r.output.size() - 30));
    EXPECT_EQ(pages, count(r.output, kPageOpened));
    EXPECT_EQ(pages, count(r.output, kPageClosed));
    EXPECT_EQ(pages, count(r.messages, "PAGE: "));
    expect_filter_messages(r.messages);
}

TEST(FilterPixels, EachRasterKindBecomesTheMatchingImage) {
    struct Case {
        unsigned bits;
        cups_cspace_t space;
        unsigned char fill;
        std::string color_space; // SetColorSpace command expected on the page
        bool image;              // false: the page is blank and sends no image
    };
    const std::string gray = bytes({0xC0, 0x01, 0xF8, 0x03, 0x6A});
    const std::string rgb = bytes({0xC0, 0x02, 0xF8, 0x03, 0x6A});
    // Palettes of two gray entries: pixel 0, then pixel 1.
    const std::string black_ink = bytes({0xC8, 0xC1, 0x02, 0x00, 0xFF, 0x00, 0xF8, 0x06, 0x6A});
    const std::string white_light = bytes({0xC8, 0xC1, 0x02, 0x00, 0x00, 0xFF, 0xF8, 0x06, 0x6A});
    const Case cases[] = {
        {8, CUPS_CSPACE_W, 0x00, gray, true},          {8, CUPS_CSPACE_W, 0xFF, gray, false},
        {8, CUPS_CSPACE_SW, 0x80, gray, true},         {8, CUPS_CSPACE_K, 0x00, gray, false},
        {8, CUPS_CSPACE_K, 0xFF, gray, true},          {24, CUPS_CSPACE_RGB, 0xFF, rgb, false},
        {24, CUPS_CSPACE_SRGB, 0x80, rgb, true},       {1, CUPS_CSPACE_K, 0x00, black_ink, false},
        {1, CUPS_CSPACE_K, 0xFF, black_ink, true},     {1, CUPS_CSPACE_W, 0x00, white_light, true},
        {1, CUPS_CSPACE_SW, 0xFF, white_light, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.bits << "-bit space " << c.space << " fill " << int(c.fill));
        Result r = run_filter(make_raster({filled(a4_header(c.bits, c.space), c.fill)}));
        ASSERT_EQ(0, r.status) << r.messages;
        expect_job(r, 1);
        EXPECT_EQ(1u, count(r.output, c.color_space));
        EXPECT_EQ(c.image ? 1u : 0u, count(r.output, kImageBegun));
        EXPECT_EQ(1u, count(r.output,
                            c.bits == 24 ? "RENDERMODE=COLOR\r\n" : "RENDERMODE=GRAYSCALE\r\n"));
    }
}

// A row longer than one image takes (an A3 page in colour at 1200 dpi)
// goes out as images side by side, each with its share of the row.
TEST(FilterPixels, WidePagesAreSentAsStripsSideBySide) {
    cups_page_header2_t h = a4_header(24, CUPS_CSPACE_RGB);
    h.cupsWidth = 14000;
    h.cupsBytesPerLine = 3 * h.cupsWidth;
    h.cupsHeight = 2;
    Page page{h, [](unsigned, unsigned char *row) {
                  for (unsigned x = 0; x < 14000; ++x)
                      std::memcpy(row + 3 * x, x < 10922 ? "\x10\x20\x30" : "\x40\x50\x60", 3);
              }};
    Result r = run_filter(make_raster({page}));
    ASSERT_EQ(0, r.status) << r.messages;
    expect_job(r, 1);
    EXPECT_EQ(2u, count(r.output, kImageBegun));
    // SourceWidth 10922 then 3078; the second placed at x = 10922.
    EXPECT_EQ(1u, count(r.output, bytes({0xC1, 0xAA, 0x2A, 0xF8, 0x6C})));
    EXPECT_EQ(1u, count(r.output, bytes({0xC1, 0x06, 0x0C, 0xF8, 0x6C})));
    EXPECT_NE(std::string::npos, r.output.find(bytes({0x40, 0x50, 0x60, 0x40, 0x50, 0x60})));
}

TEST(FilterPixels, ValuesReachThePrinterInItsOrderAndSense) {
    struct Case {
        const char *name;
        cups_page_header2_t header;
        std::string row_start; // first pixels as CUPS has them
        std::string sent;      // what must be in the image data
        std::string not_sent;
    };
    const Case cases[] = {
        // RGB stays R,G,B on the wire (the library takes B,G,R).
        {"RGB", a4_header(24, CUPS_CSPACE_RGB), bytes({0x10, 0x20, 0x30}),
         bytes({0x10, 0x20, 0x30, 0x10, 0x20, 0x30}), bytes({0x30, 0x20, 0x10, 0x30})},
        // K is ink; PCL XL gray is light.
        {"K", a4_header(8, CUPS_CSPACE_K), bytes({0x0F}), bytes({0xF0, 0xF0, 0xF0, 0xF0}),
         bytes({0x0F, 0x0F, 0x0F, 0x0F})},
        {"W", a4_header(8, CUPS_CSPACE_W), bytes({0x0F}), bytes({0x0F, 0x0F, 0x0F, 0x0F}),
         bytes({0xF0, 0xF0, 0xF0, 0xF0})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pattern = c.row_start;
        Page page{c.header, [pattern, &c](unsigned, unsigned char *row) {
                      for (unsigned i = 0; i < c.header.cupsBytesPerLine; i++)
                          row[i] = static_cast<unsigned char>(pattern[i % pattern.size()]);
                  }};
        Result r = run_filter(make_raster({page}));
        ASSERT_EQ(0, r.status) << r.messages;
        EXPECT_NE(std::string::npos, r.output.find(c.sent));
        EXPECT_EQ(std::string::npos, r.output.find(c.not_sent));
    }
}

TEST(FilterJob, FirstPageAndOptionsSetTheJobHeaderAndPages) {
    struct Size {
        const char *name; // cupsPageSizeName
        unsigned width, height;
    };
    const Size a4{"A4", 595, 842}, letter{"", 612, 792}, a6{"A6", 297, 420}, odd{"", 500, 500};
    struct Case {
        const char *options;
        int duplex; // 0 simplex, 1 long edge, 2 short edge
        unsigned position, copies;
        const char *media;
        Size size;
        std::vector<std::string> present, absent;
    };
    const std::string a4_code = bytes({0xC0, 0x02, 0xF8, 0x25});
    // The raster's top left corner at the 12pt margins: 100 pixels in.
    const std::string origin = bytes({0xD3, 0x64, 0x00, 0x64, 0x00, 0xF8, 0x2A, 0x75});
    const std::string letter_code = bytes({0xC0, 0x00, 0xF8, 0x25});
    const std::string custom_size = bytes({0xF8, 0x2F});
    const std::string media_size = bytes({0xF8, 0x25});
    const std::string copies1 = bytes({0xC1, 0x01, 0x00}) + kPageClosed;
    const std::string copies3 = bytes({0xC1, 0x03, 0x00}) + kPageClosed;
    const std::string long_edge = bytes({0xC0, 0x01, 0xF8, 0x35});
    const std::string short_edge = bytes({0xC0, 0x00, 0xF8, 0x35});
    const std::vector<std::string> defaults = {"PAPER=A4\r\n",
                                               "MEDIATYPE=PLAIN\r\n",
                                               "MEDIASOURCE=AUTOSELECT\r\n",
                                               "DUPLEX=DISABLE\r\n",
                                               "COPIES=1\r\n",
                                               a4_code,
                                               origin};
    const Case cases[] = {
        {"", 0, 0, 1, "plain", a4, defaults, {"BINDING="}},
        {"", 1, 0, 1, "plain", a4, {"DUPLEX=ENABLE\r\n", "BINDING=LONGEDGE\r\n", long_edge}, {}},
        {"", 2, 0, 1, "plain", a4, {"BINDING=SHORTEDGE\r\n", short_edge}, {}},
        {"", 0, 2, 1, "plain", a4, {"MEDIASOURCE=OPTIONAL1\r\n"}, {}},
        {"InputSlot=mpf_tray", 0, 2, 1, "plain", a4, {"MEDIASOURCE=MULTIPLE\r\n"}, {}},
        {"", 0, 0, 1, "film", a4, {"MEDIATYPE=FILM\r\n", "Transparency"}, {}},
        {"", 0, 0, 3, "plain", a4, {"COPIES=3\r\n", "QTY=1\r\n", copies3}, {}},
        // PageCopies holds 16 bits; the header asks for no more.
        {"", 0, 0, 4294967295u, "plain", a4, {"COPIES=65535\r\n"}, {"4294967295"}},
        {"Collate=True", 0, 0, 3, "plain", a4, {"COPIES=1\r\n", "QTY=3\r\n", copies1}, {}},
        // Without a name the paper is found by its size.
        {"", 0, 0, 1, "plain", letter, {"PAPER=LETTER\r\n", letter_code}, {}},
        {"", 0, 0, 1, "plain", a6, {"PAPER=A6\r\n", custom_size}, {media_size}},
        {"", 0, 0, 1, "plain", odd, {"PAPER=CUSTOM\r\n", custom_size}, {media_size}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.present));
        Page page = gray_page();
        cups_page_header2_t &h = page.header;
        h.Duplex = c.duplex ? CUPS_TRUE : CUPS_FALSE;
        h.Tumble = c.duplex == 2 ? CUPS_TRUE : CUPS_FALSE;
        h.MediaPosition = c.position;
        h.NumCopies = c.copies;
        std::strcpy(h.MediaType, c.media);
        std::strcpy(h.cupsPageSizeName, c.size.name);
        h.cupsPageSize[0] = h.PageSize[0] = c.size.width;
        h.cupsPageSize[1] = h.PageSize[1] = c.size.height;
        Result r = run_filter(make_raster({page, page}), c.options);
        ASSERT_EQ(0, r.status) << r.messages;
        expect_job(r, 2);
        for (const std::string &s : c.present)
            EXPECT_NE(std::string::npos, r.output.find(s)) << s;
        for (const std::string &s : c.absent)
            EXPECT_EQ(std::string::npos, r.output.find(s)) << s;
    }
}

// The job's name, user and resolution reach the job header; texts from
// the job and the raster cannot start lines of their own on stderr or in
// the header.
TEST(FilterJob, NamesAndResolutionReachTheHeaderCleaned) {
    struct Case {
        const char *name, *user, *media;
        unsigned dpi;
        std::vector<std::string> present, absent;
    };
    const Case cases[] = {
        {"report.pdf",
         "alice",
         "plain",
         600,
         {"JOBNAME=\"report.pdf\"\r\n", "USERNAME=\"alice\"\r\n", "RESOLUTION=R600X600\r\n"},
         {"lalalala"}},
        {nullptr, nullptr, "plain", 300, {"JOBNAME=\"lalalala\"", "RESOLUTION=R300X300\r\n"}, {}},
        {nullptr, nullptr, "plain", 1200, {"RESOLUTION=R1200X1200\r\n"}, {}},
        {nullptr, nullptr, "plain", 720, {"RESOLUTION=R600X600\r\n"}, {}},
        {"a\r\nSTATE: +media-jam-error",
         "b\nPPD: DefaultPageSize=Letter",
         "Labels\r\nSTATE: +media-jam-error\n@PJL SET",
         600,
         {"JOBNAME=\"a  STATE: +media-jam-error\"\r\n"},
         {"\nSTATE", "\nPPD", "\n@PJL SET\r"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.dpi);
        Page page = gray_page();
        std::strcpy(page.header.MediaType, c.media);
        page.header.HWResolution[0] = page.header.HWResolution[1] = c.dpi;
        Result r = run_filter(make_raster({page}), "", -1, c.name, c.user);
        ASSERT_EQ(0, r.status) << r.messages;
        expect_job(r, 1);
        const std::string header = r.output.substr(0, r.output.find(") HP-PCL XL"));
        for (const std::string &s : c.present)
            EXPECT_NE(std::string::npos, header.find(s)) << s << header;
        for (const std::string &s : c.absent) {
            EXPECT_EQ(std::string::npos, header.find(s)) << s;
            EXPECT_EQ(std::string::npos, r.messages.find(s)) << s;
        }
    }
}

TEST(FilterErrors, BadInputEndsTheJobAtTheLastCompletePage) {
    const std::string one = make_raster({gray_page()});
    const std::string two = make_raster({gray_page(), gray_page()});
    const std::string three = make_raster({gray_page(), gray_page(), gray_page()});
    const size_t page_size = two.size() - one.size(); // header and rows of one page
    cups_page_header2_t deep = a4_header(8, CUPS_CSPACE_W);
    deep.cupsBitsPerColor = 16;
    deep.cupsBitsPerPixel = 16;
    deep.cupsBytesPerLine = deep.cupsWidth * 2;
    cups_page_header2_t cmyk = a4_header(8, CUPS_CSPACE_CMYK);
    cmyk.cupsBitsPerPixel = 32;
    cmyk.cupsBytesPerLine = deep.cupsWidth * 4;
    // Noise does not compress, so a cut in the middle falls into the rows.
    Page noise = gray_page();
    noise.fill = [](unsigned y, unsigned char *row) {
        for (unsigned i = 0; i < 64; i++)
            row[i] = static_cast<unsigned char>((y * 131 + i * 71) ^ (i * i));
    };
    const std::string packed = make_raster({noise, noise}, true);
    struct Case {
        const char *name;
        std::string input;
        size_t pages; // complete pages in the output (0: no output at all)
    };
    const Case cases[] = {
        {"empty", "", 0},
        {"garbage", std::string(5000, 'x'), 0},
        {"cut in the first page's rows", one.substr(0, one.size() - 10), 0},
        {"cut in the second page's header", two.substr(0, one.size() + 100), 1},
        {"cut in the second page's rows", two.substr(0, two.size() - page_size / 3), 1},
        {"cut in the second page's compressed rows", packed.substr(0, packed.size() - 500), 1},
        {"garbage after two pages", two + std::string(3000, '\x7f'), 2},
        {"bytes of a third header", two + three.substr(two.size(), 40), 2},
        {"16-bit gray", make_raster({filled(deep, 0)}), 0},
        {"CMYK second page", make_raster({gray_page(), filled(cmyk, 0)}), 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Result r = run_filter(c.input);
        EXPECT_EQ(1, r.status);
        EXPECT_EQ(1u, count(r.messages, "ERROR: ")) << r.messages;
        if (c.pages == 0)
            EXPECT_EQ("", r.output);
        else
            expect_job(r, c.pages);
    }
}

TEST(FilterCancel, FinishesThePageInProgressThenEndsTheJob) {
    // Pages much larger than the pipe, so the cancellation surely falls
    // into the second page.
    Page page = gray_page();
    page.header.cupsHeight = 2048;
    const std::string one = make_raster({page});
    const std::string three = make_raster({page, page, page});
    const size_t page_size = (three.size() - one.size()) / 2;
    // Cancelled while the second page's rows are being read.
    Result r = run_filter(three, "", static_cast<long>(one.size() + page_size / 2));
    EXPECT_EQ(0, r.status) << r.messages;
    expect_job(r, 2);
    EXPECT_EQ(0u, count(r.messages, "ERROR: "));
}

} // namespace
