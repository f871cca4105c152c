// Whole jobs from testpage, convert and text: well-formed, written the way
// interpreters read them, and carrying the job options.
#include <gtest/gtest.h>
#include <set>

#include "image_io.h"
#include "interop_check.h"
#include "pclxl.h"
#include "tool_run.h"

using namespace tool_test;
namespace rd = pclxl_reader;

namespace {

// Writes a small input for each subcommand into `dir`.
std::vector<std::string> command_line(const TempDir &dir, const std::string &command) {
    if (command == "convert") {
        pclxl_tool::Image img;
        img.kind = pclxl_tool::Image::Rgb;
        img.width = 3;
        img.height = 2;
        img.pixels = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9, 99, 99, 99, 200, 100, 50};
        std::string error;
        EXPECT_TRUE(pclxl_tool::save_png(dir / "in.png", img, false, error)) << error;
        return {"convert", "in.png"};
    }
    if (command == "text") {
        write_file(dir / "in.txt", "one\ntwo\fthree\n");
        return {"text", "in.txt"};
    }
    return {"testpage"};
}

} // namespace

TEST(Testpage, WritesTwoPagesWithEveryKindOfContent) {
    TempDir dir;
    const Outcome r = run(dir, {"testpage"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Job job = read_job(dir / "testpage.pxl");
    ASSERT_TRUE(job.ok) << job.error.offset << ": " << job.error.message;
    EXPECT_EQ(job.summary.pages.size(), 2u);
    expect_interop(job);

    // Images at 1 bit (indexed), 8 bits gray and RGB (24 and 32 bits).
    std::set<std::string> kinds;
    for (const auto &img : job.images)
        kinds.insert(std::to_string(img.color_mapping) + "/" + std::to_string(img.depth) + "/" +
                     std::to_string(img.components));
    EXPECT_EQ(kinds, (std::set<std::string>{"1/1/1", "0/8/1", "0/8/3"}));
    EXPECT_GE(job.images.size(), 5u);

    for (const char *op : {"RectanglePath", "RoundRectanglePath", "LinePath", "BezierPath",
                           "ArcPath", "SetLineDash", "SetPenWidth", "SetClipReplace", "Text"})
        EXPECT_FALSE(job.ops(op).empty()) << op;
    ASSERT_EQ(job.summary.fonts.size(), 2u);
    // The title and the library version are printed.
    std::string printed;
    for (const auto *t : job.ops("Text"))
        for (double code : t->find(rd::attr::TextData)->elements)
            printed += code < 0x80 ? static_cast<char>(code) : '?';
    EXPECT_NE(printed.find("libpclxl test page"), std::string::npos);
    EXPECT_NE(printed.find(PCLXL_VERSION_STRING), std::string::npos);
}

// Every job the tool writes is well-formed and interoperable, for each
// subcommand and with the options that change its structure.
TEST(Jobs, EverySubcommandWritesAWellFormedJob) {
    const std::vector<std::vector<std::string>> kOptions = {
        {}, {"--gray"}, {"--duplex", "short-edge", "--copies", "3", "--collate"}};
    for (const char *command : {"testpage", "convert", "text"})
        for (const auto &options : kOptions) {
            SCOPED_TRACE(std::string(command) + " " + ::testing::PrintToString(options));
            TempDir dir;
            std::vector<std::string> args = command_line(dir, command);
            args.insert(args.end(), options.begin(), options.end());
            args.insert(args.end(), {"-o", "job.pxl"});
            const Outcome r = run(dir, args);
            ASSERT_EQ(r.status, 0) << r.err;
            const Job job = read_job(dir / "job.pxl");
            ASSERT_TRUE(job.ok) << job.error.offset << ": " << job.error.message;
            expect_interop(job);
            const Outcome dump = run(dir, {"dump", "job.pxl"});
            EXPECT_EQ(dump.status, 0) << dump.err;
        }
}

TEST(Jobs, OptionsReachThePjlHeaderAndEveryPage) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> pjl;
        const char *media_size, *media_type, *media_source, *duplex;
        unsigned page_copies;
    };
    const Case kCases[] = {
        {{},
         {"@PJL SET RENDERMODE=COLOR", "@PJL SET COPIES=1", "@PJL SET QTY=1",
          "@PJL SET DUPLEX=DISABLE", "@PJL SET PAPER=A4", "@PJL SET MEDIATYPE=PLAIN",
          "@PJL SET MEDIASOURCE=AUTOSELECT"},
         "eA4Paper",
         "Plain",
         "1",
         "",
         1},
        {{"--paper", "Letter", "--gray", "--copies", "4", "--tray", "tray_2"},
         {"@PJL SET RENDERMODE=GRAYSCALE", "@PJL SET LCOLORMODEL=BLACK", "@PJL SET COPIES=4",
          "@PJL SET QTY=1", "@PJL SET PAPER=LETTER", "@PJL SET MEDIASOURCE=OPTIONAL2"},
         "eLetterPaper",
         "Plain",
         "7",
         "",
         4},
        {{"--paper", "A5", "--copies", "2", "--collate", "--duplex", "long-edge"},
         {"@PJL SET COPIES=1", "@PJL SET QTY=2", "@PJL SET DUPLEX=ENABLE",
          "@PJL SET BINDING=LONGEDGE", "@PJL SET PAPER=A5"},
         "eA5Paper",
         "Plain",
         "1",
         "eDuplexVerticalBinding",
         1},
        {{"--paper", "A3", "--duplex", "short-edge", "--media-type", "film", "--tray", "mpf_tray"},
         {"@PJL SET DUPLEX=ENABLE", "@PJL SET BINDING=SHORTEDGE", "@PJL SET PAPER=A3",
          "@PJL SET MEDIATYPE=FILM", "@PJL SET MEDIASOURCE=MULTIPLE"},
         "eA3Paper",
         "Transparency",
         "3",
         "eDuplexHorizontalBinding",
         1},
        {{"--paper", "JIS_B5", "--media-type", "cardstock"},
         {"@PJL SET PAPER=JISB5", "@PJL SET MEDIATYPE=POSTCARD"},
         "eJB5Paper",
         "Card Stock",
         "1",
         "",
         1},
        {{"--paper", "ISO_B5"}, {"@PJL SET PAPER=B5"}, "eB5Paper", "Plain", "1", "", 1},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        TempDir dir;
        std::vector<std::string> args = command_line(dir, "text");
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {"-o", "job.pxl"});
        ASSERT_EQ(run(dir, args).status, 0);
        const Job job = read_job(dir / "job.pxl");
        ASSERT_TRUE(job.ok) << job.error.message;
        for (const std::string &line : c.pjl)
            EXPECT_TRUE(job.has_pjl(line)) << line;
        if (c.duplex[0] == 0) {
            EXPECT_FALSE(job.has_pjl("@PJL SET BINDING=LONGEDGE") ||
                         job.has_pjl("@PJL SET BINDING=SHORTEDGE"));
        }
        ASSERT_EQ(job.summary.pages.size(), 2u);
        for (const auto &page : job.summary.pages) {
            EXPECT_EQ(page.media_size, c.media_size);
            EXPECT_EQ(page.media_type, c.media_type);
            EXPECT_EQ(page.media_source, c.media_source);
            EXPECT_EQ(page.duplex, c.duplex);
            EXPECT_EQ(page.copies, c.page_copies);
        }
    }
}

TEST(Jobs, BadOptionsListTheChoicesAndWriteNothing) {
    struct Case {
        std::vector<std::string> args;
        const char *message; // part of the error line
    };
    const Case kCases[] = {
        {{"--paper", "A7"}, "A4 A3 A5 Letter JIS_B5 ISO_B5"},
        {{"--paper", "a4"}, "valid choices"},
        {{"--media-type", "paper"}, "plain plain_1"},
        {{"--tray", "tray_9"}, "auto standard_tray"},
        {{"--duplex", "both"}, "simplex long-edge short-edge"},
        {{"--copies", "0"}, "from 1 to 65535"},
        {{"--copies", "3x"}, "from 1 to 65535"},
        {{"--copies", "65536"}, "from 1 to 65535"},
        {{"--copies"}, "needs a value"},
        {{"--frobnicate"}, "unknown"},
    };
    for (const char *command : {"testpage", "convert", "text"})
        for (const Case &c : kCases) {
            SCOPED_TRACE(std::string(command) + " " + ::testing::PrintToString(c.args));
            TempDir dir;
            std::vector<std::string> args = command_line(dir, command);
            args.insert(args.end(), {"-o", "job.pxl"});
            args.insert(args.end(), c.args.begin(), c.args.end());
            const Outcome r = run(dir, args);
            EXPECT_EQ(r.status, 2);
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
            EXPECT_FALSE(exists(dir / "job.pxl"));
        }
}

TEST(Jobs, DashWritesToStandardOutput) {
    TempDir dir;
    const Outcome r = run(dir, {"testpage", "-o", "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    write_file(dir / "out.pxl", r.out);
    const Job job = read_job(dir / "out.pxl");
    EXPECT_TRUE(job.ok) << job.error.message;
    EXPECT_FALSE(exists(dir / "testpage.pxl"));
}
