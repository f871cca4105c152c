// Whole jobs from testpage, convert and text: well-formed, written the way
// interpreters read them, carrying the job options; and the refusals.
#include <gtest/gtest.h>
#include <cstdio>
#include <set>

#include "image_io.h"
#include "interop_check.h"
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

TEST(Jobs, EverySubcommandWritesAWellFormedJob) {
    const std::vector<std::vector<std::string>> kOptions = {
        {}, {"--gray", "--duplex", "short-edge", "--copies", "3", "--collate"}};
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
        }
}

TEST(Jobs, OptionsReachThePjlHeaderAndEveryPage) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> pjl; // after "@PJL SET "
        const char *page;             // size, type, source, duplex, copies
    };
    // The mapping of each choice is the job header's part; here every option
    // reaches it. The job's name defaults to the input's file name; names
    // cannot break their PJL line.
    const Case kCases[] = {
        {{}, {"COPIES=1", "QTY=1", "DUPLEX=DISABLE", "JOBNAME=\"in.txt\""}, "eA4Paper/Plain/1//1"},
        {{"--paper", "Letter", "--gray", "--copies", "4", "--tray", "tray_2", "--dpi", "1200"},
         {"RENDERMODE=GRAYSCALE", "COPIES=4", "QTY=1", "RESOLUTION=R1200X1200"},
         "eLetterPaper/Plain/7//4"},
        {{"--paper", "A3", "--copies", "2", "--collate", "--duplex", "short-edge", "--media-type",
          "film"},
         {"COPIES=1", "QTY=2", "BINDING=SHORTEDGE"},
         "eA3Paper/Transparency/1/eDuplexHorizontalBinding/1"},
        {{"--dpi", "300", "--title", "Q3 \"report\"\r\n@PJL RESET", "--user", "bob"},
         {"RESOLUTION=R300X300", "JOBNAME=\"Q3 _report___@PJL RESET\"", "USERNAME=\"bob\""},
         "eA4Paper/Plain/1//1"},
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
            EXPECT_TRUE(job.has_pjl("@PJL SET " + line)) << line;
        const bool duplex = std::string(c.page).find("Binding") != std::string::npos;
        EXPECT_EQ(duplex, job.has_pjl("@PJL SET BINDING=LONGEDGE") ||
                              job.has_pjl("@PJL SET BINDING=SHORTEDGE"));
        ASSERT_EQ(job.summary.pages.size(), 2u);
        for (const auto &p : job.summary.pages)
            EXPECT_EQ(p.media_size + "/" + p.media_type + "/" + p.media_source + "/" + p.duplex +
                          "/" + std::to_string(p.copies),
                      c.page);
    }
}

// Rows whose arguments start with an option run with every subcommand.
TEST(Jobs, RefusalsNameTheProblemAndWriteNothing) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char *message; // part of the error output
    };
    const Case kCases[] = {
        {{"--paper", "A7"}, 2, "A4 A3 A5 Letter JIS_B5 ISO_B5"},
        {{"--copies", "0"}, 2, "from 1 to 65535"},
        {{"--copies", "3x"}, 2, "from 1 to 65535"},
        {{"--copies", "65536"}, 2, "from 1 to 65535"},
        {{"--copies"}, 2, "needs a value"},
        {{"--frobnicate"}, 2, "unknown"},
        {{"text", "in.txt", "--font-size", "73"}, 2, "from 4 to 72"},
        {{"text", "in.txt", "--font-size", "ten"}, 2, "from 4 to 72"},
        {{"text", "nothere.txt"}, 1, "nothere.txt"},
        // A good page before the bad one is dropped too.
        {{"convert", "in.png", "picture.gif"}, 1, "picture.gif"},
        {{"convert", "in.png", "empty.png"}, 1, "empty.png"},
        {{"convert", "in.png", "missing.png"}, 1, "missing.png"},
    };
    TempDir dir;
    command_line(dir, "text");
    command_line(dir, "convert");
    write_file(dir / "picture.gif", "GIF89a\x01\x00\x01\x00");
    write_file(dir / "empty.png", "");
    for (const Case &c : kCases)
        for (const char *command : {"testpage", "convert", "text"}) {
            std::vector<std::string> args = c.args;
            if (args[0].rfind("--", 0) == 0) {
                args = command_line(dir, command);
                args.insert(args.end(), {"-o", "job.pxl"});
                args.insert(args.end(), c.args.begin(), c.args.end());
            } else if (args[0] != command) {
                continue;
            } else {
                args.insert(args.end(), {"-o", "job.pxl"});
            }
            SCOPED_TRACE(::testing::PrintToString(args));
            const Outcome r = run(dir, args);
            EXPECT_EQ(r.status, c.status);
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
            EXPECT_FALSE(exists(dir / "job.pxl"));
            std::remove((dir / "job.pxl").c_str());
        }
}

TEST(Jobs, DashWritesToStandardOutput) {
    TempDir dir;
    const Outcome r = run(dir, {"testpage", "-o", "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    write_file(dir / "out.pxl", r.out);
    EXPECT_TRUE(read_job(dir / "out.pxl").ok);
    EXPECT_FALSE(exists(dir / "testpage.pxl"));
    // The library's lines only with --verbose, and then never in the job.
    EXPECT_EQ(r.err, "");
    const Outcome verbose = run(dir, {"testpage", "--verbose", "-o", "-"});
    EXPECT_NE(verbose.err.find("=> pclxl_start_job_with\n"), std::string::npos) << verbose.err;
    EXPECT_EQ(verbose.out, r.out);
}
