// The filter's page loop on rasters made in memory: what each raster
// becomes, what the job header says, and how bad input ends the job; and the
// generated PPD against the filter's tables.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <regex>

#include "raster_maker.h"
#include "settings.h"

using namespace filter_test;

namespace {

const std::string kUel = "\x1b%-12345X";
const std::string kPageOpened = bytes({0x43, 0x61, 0x74}); // BeginPage PushGS SetPageDefaultCTM
const std::string kPageClosed = bytes({0xF8, 0x31, 0x44}); // PageCopies, EndPage
const std::string kImageBegun = bytes({0xF8, 0x67, 0xB0}); // DestinationSize, BeginImage

// Rows made of `pattern` over and over.
Page filled(cups_page_header2_t h, const std::string &pattern) {
    return {h, [h, pattern](unsigned, unsigned char *row) {
                for (unsigned i = 0; i < h.cupsBytesPerLine; i++)
                    row[i] = static_cast<unsigned char>(pattern[i % pattern.size()]);
            }};
}

Page gray_page() { return filled(a4_header(8, CUPS_CSPACE_SW), "\x40"); }

// A whole job (PJL header, `pages` opened and closed pages, end of data
// source and session, trailer), and only filter messages the scheduler
// expects on stderr, one PAGE: line a page.
void expect_job(const Result &r, size_t pages) {
    ASSERT_EQ(0u, r.output.rfind(kUel + "@PJL JOB\r\n", 0)) << r.messages;
    EXPECT_NE(std::string::npos, r.output.find("@PJL ENTER LANGUAGE=PCLXL\r\n"));
    ASSERT_GE(r.output.size(), 30u);
    EXPECT_EQ(bytes({0x49, 0x42}) + kUel + "@PJL EOJ\r\n" + kUel,
              r.output.substr(r.output.size() - 30));
    EXPECT_EQ(pages, count(r.output, kPageOpened));
    EXPECT_EQ(pages, count(r.output, kPageClosed));
    EXPECT_EQ(pages, count(r.messages, "PAGE: "));
    EXPECT_TRUE(std::regex_match(r.messages, std::regex("((DEBUG|INFO|ERROR|PAGE): .*\n)*")))
        << r.messages;
}

// Each raster kind becomes an image in the matching colour space, its
// values in the printer's order and sense; a blank page sends no image.
TEST(FilterPixels, EachRasterKindBecomesTheMatchingImage) {
    const std::string gray = bytes({0xC0, 0x01, 0xF8, 0x03, 0x6A});
    const std::string rgb = bytes({0xC0, 0x02, 0xF8, 0x03, 0x6A});
    // Palettes of two gray entries: pixel 0, then pixel 1.
    const std::string black_ink = bytes({0xC8, 0xC1, 0x02, 0x00, 0xFF, 0x00, 0xF8, 0x06, 0x6A});
    const std::string white_light = bytes({0xC8, 0xC1, 0x02, 0x00, 0x00, 0xFF, 0xF8, 0x06, 0x6A});
    struct Case {
        unsigned bits;
        cups_cspace_t space;
        std::string pixel, color_space;
        std::string sent; // twice in the image data; empty: no image
    };
    const Case cases[] = {
        {8, CUPS_CSPACE_W, "\x0F", gray, "\x0F\x0F"},
        {8, CUPS_CSPACE_W, "\xFF", gray, ""},
        {8, CUPS_CSPACE_SW, "\x80", gray, "\x80\x80"},
        {8, CUPS_CSPACE_K, bytes({0}), gray, ""},
        {8, CUPS_CSPACE_K, "\x0F", gray, "\xF0\xF0"}, // K is ink; PCL XL gray is light
        {24, CUPS_CSPACE_SRGB, "\xFF", rgb, ""},
        {24, CUPS_CSPACE_RGB, "\x10\x20\x30", rgb, "\x10\x20\x30"}, // R,G,B stay in that order
        {1, CUPS_CSPACE_K, bytes({0}), black_ink, ""},
        {1, CUPS_CSPACE_K, "\xFF", black_ink, "\xFF"},
        {1, CUPS_CSPACE_W, bytes({0}), white_light, bytes({0})},
        {1, CUPS_CSPACE_SW, "\xFF", white_light, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bits << "-bit space " << c.space << " pixel "
                                          << int(static_cast<unsigned char>(c.pixel[0])));
        Result r = run_filter(make_raster({filled(a4_header(c.bits, c.space), c.pixel)}));
        ASSERT_EQ(0, r.status) << r.messages;
        expect_job(r, 1);
        EXPECT_EQ(1u, count(r.output, c.color_space));
        EXPECT_EQ(c.sent.empty() ? 0u : 1u, count(r.output, kImageBegun));
        EXPECT_TRUE(c.sent.empty() || r.output.find(c.sent + c.sent) != std::string::npos);
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

// The first page, the options and the job's name and user set the job
// header and the pages; texts from the job and the raster cannot start lines
// of their own on stderr or in the header.
TEST(FilterJob, FirstPageAndOptionsSetTheJobHeaderAndPages) {
    struct Setup {
        const char *options;
        int duplex; // 0 simplex, 1 long edge, 2 short edge
        unsigned position, copies;
        const char *media, *size; // size: cupsPageSizeName
        unsigned width, height, dpi;
        const char *name, *user;
    };
    const struct {
        Setup s;
        std::vector<std::string> present, absent;
    } cases[] = {
        // The raster's top left corner at the 12pt margins: 100 pixels in.
        {{"", 0, 0, 1, "plain", "A4", 595, 842, 600, "report.pdf", "alice"},
         {"PAPER=A4\r\n", "MEDIATYPE=PLAIN\r\n", "MEDIASOURCE=AUTOSELECT\r\n", "DUPLEX=DISABLE\r\n",
          "COPIES=1\r\n", bytes({0xC0, 0x02, 0xF8, 0x25}),
          bytes({0xD3, 0x64, 0x00, 0x64, 0x00, 0xF8, 0x2A, 0x75}), "JOBNAME=\"report.pdf\"\r\n",
          "USERNAME=\"alice\"\r\n", "RESOLUTION=R600X600\r\n"},
         {"BINDING=", "lalalala"}},
        {{"", 1, 2, 3, "film", "A4", 595, 842, 300, nullptr, nullptr},
         {"DUPLEX=ENABLE\r\n", "BINDING=LONGEDGE\r\n", bytes({0xC0, 0x01, 0xF8, 0x35}),
          "MEDIASOURCE=OPTIONAL1\r\n", "MEDIATYPE=FILM\r\n", "Transparency", "COPIES=3\r\n",
          "QTY=1\r\n", bytes({0xC1, 0x03, 0x00}) + kPageClosed, "JOBNAME=\"lalalala\"",
          "RESOLUTION=R300X300\r\n"},
         {}},
        // PageCopies holds 16 bits; the header asks for no more. Without a
        // name the paper is found by its size.
        {{"InputSlot=mpf_tray", 2, 2, 4294967295u, "plain", "", 612, 792, 600, nullptr, nullptr},
         {"BINDING=SHORTEDGE\r\n", bytes({0xC0, 0x00, 0xF8, 0x35}), "MEDIASOURCE=MULTIPLE\r\n",
          "COPIES=65535\r\n", "PAPER=LETTER\r\n", bytes({0xC0, 0x00, 0xF8, 0x25})},
         {"4294967295"}},
        {{"Collate=True", 0, 0, 3, "plain", "A6", 297, 420, 600, nullptr, nullptr},
         {"COPIES=1\r\n", "QTY=3\r\n", bytes({0xC1, 0x01, 0x00}) + kPageClosed, "PAPER=A6\r\n",
          bytes({0xF8, 0x2F})},
         {bytes({0xF8, 0x25})}},
        // A resolution the header cannot name leaves the printer's default.
        {{"", 0, 0, 1, "Labels\r\nSTATE: +media-jam-error\n@PJL SET", "", 500, 500, 720,
          "a\r\nSTATE: +media-jam-error", "b\nPPD: DefaultPageSize=Letter"},
         {"PAPER=CUSTOM\r\n", bytes({0xF8, 0x2F}), "JOBNAME=\"a  STATE: +media-jam-error\"\r\n",
          "RESOLUTION=R600X600\r\n"},
         {bytes({0xF8, 0x25}), "\nSTATE", "\nPPD", "\n@PJL SET\r"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.present));
        Page page = gray_page();
        cups_page_header2_t &h = page.header;
        h.Duplex = c.s.duplex ? CUPS_TRUE : CUPS_FALSE;
        h.Tumble = c.s.duplex == 2 ? CUPS_TRUE : CUPS_FALSE;
        h.MediaPosition = c.s.position;
        h.NumCopies = c.s.copies;
        h.HWResolution[0] = h.HWResolution[1] = c.s.dpi;
        std::strcpy(h.MediaType, c.s.media);
        std::strcpy(h.cupsPageSizeName, c.s.size);
        h.cupsPageSize[0] = h.PageSize[0] = c.s.width;
        h.cupsPageSize[1] = h.PageSize[1] = c.s.height;
        Result r = run_filter(make_raster({page, page}), c.s.options, c.s.name, c.s.user);
        ASSERT_EQ(0, r.status) << r.messages;
        expect_job(r, 2);
        for (const std::string &s : c.present)
            EXPECT_NE(std::string::npos, r.output.find(s)) << s;
        for (const std::string &s : c.absent) {
            EXPECT_EQ(std::string::npos, r.output.find(s)) << s;
            EXPECT_EQ(std::string::npos, r.messages.find(s)) << s;
        }
    }
}

TEST(FilterErrors, BadInputEndsTheJobAtTheLastCompletePage) {
    const std::string one = make_raster({gray_page()});
    const std::string two = make_raster({gray_page(), gray_page()});
    const size_t page_size = two.size() - one.size(); // header and rows of one page
    cups_page_header2_t cmyk = a4_header(8, CUPS_CSPACE_CMYK);
    cmyk.cupsBitsPerPixel = 32;
    cmyk.cupsBytesPerLine = cmyk.cupsWidth * 4;
    struct Case {
        std::string name;
        std::string input;
        size_t pages; // complete pages in the output (0: no output at all)
    };
    std::vector<Case> cases = {
        {"empty", "", 0},
        {"garbage", std::string(5000, 'x'), 0},
        {"cut in the first page's rows", one.substr(0, one.size() - 10), 0},
        {"cut in the second page's header", two.substr(0, one.size() + 100), 1},
        {"cut in the second page's rows", two.substr(0, two.size() - page_size / 3), 1},
        {"garbage after two pages", two + std::string(3000, '\x7f'), 2},
        {"bytes of a third header", two + one.substr(4, 40), 2},
        {"CMYK second page", make_raster({gray_page(), filled(cmyk, "\x10")}), 1},
    };
    // Impossible sizes in the first page's header: zero, a negative number
    // read as unsigned, the sign bit, past each limit.
    using Header = cups_page_header2_t;
    const std::pair<const char *, unsigned Header::*> fields[] = {
        {"cupsWidth", &Header::cupsWidth},
        {"cupsHeight", &Header::cupsHeight},
        {"cupsBytesPerLine", &Header::cupsBytesPerLine},
        {"cupsBitsPerPixel", &Header::cupsBitsPerPixel},
        {"cupsBitsPerColor", &Header::cupsBitsPerColor},
    };
    for (const auto &[name, member] : fields)
        for (unsigned value : {0u, 0xFFFFFFFFu, 0x80000000u, 65536u, 32768u}) {
            Header h = gray_page().header;
            h.*member = value;
            cases.push_back({name + (" = " + std::to_string(value)), one, 0});
            std::memcpy(&cases.back().input[4], &h, sizeof h);
        }
    for (const auto &c : cases) {
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

#ifdef PCLXL_PPD_PATH
// The generated PPD offers exactly what the filter knows: its papers at the
// same sizes, its trays at the MediaPosition the filter maps back, and its
// media types. `*Keyword Choice/Text: "code"` lines: choice -> code.
std::map<std::string, std::string> ppd_choices(const char *keyword) {
    std::ifstream ppd(PCLXL_PPD_PATH);
    std::map<std::string, std::string> found;
    const std::regex line(std::string("^\\*") + keyword + " ([^/:]+)(/[^:]*)?: \"(.*)\"$");
    std::smatch m;
    for (std::string text; std::getline(ppd, text);)
        if (std::regex_match(text, m, line))
            found[m[1]] = m[3];
    return found;
}

// The PDF filter's job from the PPD's marked choices and the job's options.
TEST(PdfFilterJob, PpdChoicesAndOptionsSetTheJob) {
    using Choices = std::map<std::string, std::string>;
    const auto marked = [](const char *keyword, void *context) -> const char * {
        const Choices &c = *static_cast<const Choices *>(context);
        const auto it = c.find(keyword);
        return it == c.end() ? nullptr : it->second.c_str();
    };
    using pclxl_host::Sides;
    const struct {
        const char *ppd, *options, *copies; // ppd: the marked choices
        const char *paper;                  // null: each page its own
        Sides sides;
        bool color, collate;
        const char *tray, *media_type;
        int resolution;
        unsigned job_copies;
        const char *ranges;
    } kCases[] = {
        {"", "", "1", nullptr, Sides::OneSided, true, false, "auto", "plain", 600, 1, ""},
        {"PageSize=A4 Duplex=None ColorModel=Gray", "", "2", "A4", Sides::OneSided, false, false,
         "auto", "plain", 600, 2, ""},
        {"PageSize=Tabloid Duplex=DuplexNoTumble InputSlot=tray_1", "Collate=1", "0", "11x17",
         Sides::LongEdge, true, true, "tray_1", "plain", 600, 1, ""},
        {"PageSize=B5 Duplex=DuplexTumble MediaType=film Resolution=1200dpi Collate=True",
         "print-color-mode=monochrome page-ranges=2-3", "70000", "JIS_B5", Sides::ShortEdge, false,
         true, "auto", "film", 1200, 65535, "2-3"},
        {"PageSize=Custom.300x400 Resolution=400dpi InputSlot=drawer",
         "multiple-document-handling=separate-documents-collated-copies", "x", nullptr,
         Sides::OneSided, true, true, "auto", "plain", 600, 1, ""},
    };
    for (const auto &k : kCases) {
        SCOPED_TRACE(k.options);
        cups_option_t *options = nullptr;
        const int n = cupsParseOptions(k.options, 0, &options);
        Choices ppd;
        cups_option_t *marks = nullptr;
        const int m = cupsParseOptions(k.ppd, 0, &marks);
        for (int i = 0; i < m; i++)
            ppd[marks[i].name] = marks[i].value;
        cupsFreeOptions(m, marks);
        const pclxl_host::Job job =
            rastertopclxl::ppd_job(marked, &ppd, n, options, "title", "user", k.copies);
        cupsFreeOptions(n, options);
        EXPECT_STREQ(job.paper ? job.paper->name : nullptr, k.paper);
        EXPECT_EQ(job.sides, k.sides);
        EXPECT_EQ(job.color, k.color);
        EXPECT_EQ(job.collate, k.collate);
        EXPECT_STREQ(job.tray->name, k.tray);
        EXPECT_STREQ(job.media_type_name(), k.media_type);
        EXPECT_EQ(job.resolution, k.resolution);
        EXPECT_EQ(job.copies, k.job_copies);
        EXPECT_EQ(job.page_ranges, k.ranges);
        EXPECT_EQ(job.title, "title");
        EXPECT_EQ(job.user, "user");
    }
}

TEST(Ppd, OffersTheFiltersPapersTraysAndMediaTypes) {
    using namespace rastertopclxl;
    std::map<std::string, std::string> papers, trays, types, ppd_types = ppd_choices("MediaType");
    for (size_t i = 0; i < kPaperCount; i++)
        papers[kPapers[i].ppd_name] =
            std::to_string(kPapers[i].width_pt) + " " + std::to_string(kPapers[i].height_pt);
    for (size_t i = 0; i < kTrayCount; i++)
        trays[kTrays[i].name] = "<</MediaPosition " + std::to_string(i) + ">>setpagedevice";
    for (size_t i = 0; i < kMediaTypeCount; i++)
        types[kMediaTypes[i].name] = "<</MediaType(" + std::string(kMediaTypes[i].name) + ")";
    for (auto &choice : ppd_types)
        choice.second.resize(choice.second.find(')') + 1);
    EXPECT_EQ(papers, ppd_choices("PaperDimension"));
    EXPECT_EQ(trays, ppd_choices("InputSlot"));
    EXPECT_EQ(types, ppd_types);
}
#endif

// A file under the build's temporary directory with `text` in it.
std::string temp_file(const char *name, const std::string &text) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

// The PPD's model picks its row of the quirks file: a media type the model
// does not list goes as the printer's default, and the filter says which
// rows applied.
TEST(FilterQuirks, ThePpdModelPicksTheRow) {
    const std::string quirks = temp_file("quirks.conf", "[*]\nmax-dash-entries = 20\n"
                                                        "[Acme Laser 600*]\nmedia-types = plain\n");
    const struct {
        const char *nickname, *media, *rows;
        bool labels_sent;
    } cases[] = {
        {"Acme Laser 600 PCL XL", "labels", "rows [*] [Acme Laser 600*]", false},
        {"Acme Laser 600 PCL XL", "plain", "rows [*] [Acme Laser 600*]", false},
        {"Other Laser", "labels", "rows [*], max-dash", true},
    };
    for (const auto &c : cases) {
        const std::string ppd = temp_file(
            "quirks.ppd", std::string("*PPD-Adobe: \"4.3\"\n*NickName: \"") + c.nickname + "\"\n");
        setenv("PPD", ppd.c_str(), 1);
        setenv("PCLXL_QUIRKS", quirks.c_str(), 1);
        cups_page_header2_t h = a4_header(8, CUPS_CSPACE_SW);
        std::strcpy(h.MediaType, c.media);
        const Result r = run_filter(make_raster({filled(h, "\x40")}));
        unsetenv("PPD");
        unsetenv("PCLXL_QUIRKS");
        expect_job(r, 1);
        EXPECT_NE(
            r.messages.find(std::string("DEBUG: Quirks for \"") + c.nickname + "\": " + c.rows),
            std::string::npos)
            << r.messages;
        EXPECT_EQ(r.output.find("@PJL SET MEDIATYPE=LABELS") != std::string::npos, c.labels_sent)
            << c.nickname << " " << c.media;
    }
}

} // namespace
