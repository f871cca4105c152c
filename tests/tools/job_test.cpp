// Whole jobs from testpage, convert (of images and, when it is built, of a
// PDF) and text: well-formed, written the way interpreters read them,
// carrying the job options; and the refusals.
#include <gtest/gtest.h>
#include <cstdio>

#include "image_io.h"
#include "tool_run.h"

using namespace tool_test;

namespace {

const std::vector<std::string> kCommands = {"testpage", "convert", "text",
#ifdef PCLXL_PDF_DATA
                                            "convert PDF"
#endif
};

// Writes a small input for each subcommand into `dir`; the command line.
std::vector<std::string> command_line(const TempDir &dir, const std::string &command) {
    write_file(dir / "in.ppm", "P3 3 2 255 255 0 0 0 255 0 0 0 255 9 9 9 99 99 99 200 100 50");
    write_file(dir / "in.txt", "one\ntwo\fthree\n");
#ifdef PCLXL_PDF_DATA
    write_file(dir / "document", slurp(PCLXL_PDF_DATA "/text.pdf")); // by content, not name
#endif
    if (command == "testpage")
        return {"testpage"};
    if (command == "convert PDF")
        return {"convert", "document"};
    return {command, command == "text" ? "in.txt" : "in.ppm"};
}

} // namespace

// The mapping of each choice is the job header's part; here every option
// reaches it from every subcommand. The job's name defaults to the input's
// file name; names cannot break their PJL line.
TEST(Jobs, OptionsReachThePjlHeaderAndEveryPage) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> pjl; // after "@PJL SET "
        const char *page;             // size, type, source, duplex, copies
    } kCases[] = {
        {{}, {"COPIES=1", "QTY=1", "DUPLEX=DISABLE"}, "eA4Paper/Plain/1//1"},
        {{"--paper", "Letter", "--gray", "--copies", "4", "--tray", "tray_2", "--dpi", "1200"},
         {"RENDERMODE=GRAYSCALE", "COPIES=4", "QTY=1", "RESOLUTION=R1200X1200", "DUPLEX=DISABLE"},
         "eLetterPaper/Plain/7//4"},
        {{"--paper", "A3", "--copies", "2", "--collate", "--duplex", "short-edge", "--media-type",
          "film", "--dpi", "300", "--title", "Q3 \"report\"\r\n@PJL RESET", "--user", "bob"},
         {"COPIES=1", "QTY=2", "BINDING=SHORTEDGE", "RESOLUTION=R300X300",
          "JOBNAME=\"Q3 _report___@PJL RESET\"", "USERNAME=\"bob\""},
         "eA3Paper/Transparency/1/eDuplexHorizontalBinding/1"},
    };
    for (const std::string &command : kCommands)
        for (const auto &c : kCases) {
            SCOPED_TRACE(command + ::testing::PrintToString(c.args));
            TempDir dir;
            std::vector<std::string> args = command_line(dir, command);
            const std::string name = args.back();
            args.insert(args.end(), c.args.begin(), c.args.end());
            const Job job = make_job(dir, args);
            ASSERT_TRUE(job.ok);
            expect_interop(job);
            // A gray conversion selects no colour at all.
            if (command.rfind("convert", 0) == 0 && job.has_pjl("@PJL SET RENDERMODE=GRAYSCALE")) {
                for (const auto *space : job.ops("SetColorSpace"))
                    EXPECT_NE(space->find(pclxl_reader::attr::ColorSpace)->number(),
                              pclxl_reader::enums::eRGB);
            }
            if (command == "convert" && job.has_pjl("@PJL SET RENDERMODE=GRAYSCALE")) {
                // Gray is 30% red, 59% green and 11% blue.
                ASSERT_EQ(run(dir, {"dump", "--images", ".", "job.pxl"}).status, 0);
                pclxl_tool::Image img;
                std::string error;
                ASSERT_TRUE(pclxl_tool::load_image(dir / "image-001.png", img, error)) << error;
                EXPECT_EQ(img.pixels, std::vector<uint8_t>({77, 150, 28, 9, 99, 125}));
            }
            for (const std::string &line : c.pjl)
                EXPECT_TRUE(job.has_pjl("@PJL SET " + line)) << line;
            if (c.args.empty()) {
                EXPECT_TRUE(job.has_pjl("@PJL SET JOBNAME=\"" + name + "\""));
            }
            ASSERT_FALSE(job.summary.pages.empty());
            for (const auto &p : job.summary.pages)
                EXPECT_EQ(p.media_size + "/" + p.media_type + "/" + p.media_source + "/" +
                              p.duplex + "/" + std::to_string(p.copies),
                          c.page);
        }
}

// Refused jobs name the problem and write nothing, not even the good pages
// before a bad one. The option parser is the same for every subcommand.
TEST(Jobs, RefusalsNameTheProblemAndWriteNothing) {
    const struct {
        std::vector<std::string> args; // "-o job.pxl" goes after the first
        int status;
        const char *message; // part of the error output
    } kCases[] = {
        {{"testpage", "--paper", "A7"}, 2, "unknown paper 'A7'"},
        {{"testpage", "--dpi", "400"}, 2, "dpi"},
        {{"convert", "in.ppm", "--copies", "0"}, 2, "from 1 to 65535"},
        {{"text", "in.txt", "--copies", "3x"}, 2, "from 1 to 65535"},
        {{"testpage", "--copies", "65536"}, 2, "from 1 to 65535"},
        {{"convert", "in.ppm", "--copies"}, 2, "needs a value"},
        {{"text", "in.txt", "--frobnicate"}, 2, "unknown"},
        {{"text", "in.txt", "--font-size", "73"}, 2, "from 4 to 72"},
        {{"text", "in.txt", "--font-size", "ten"}, 2, "from 4 to 72"},
        {{"convert", "in.ppm", "picture.gif"}, 1, "picture.gif"},
        {{"convert", "in.ppm", "empty.png"}, 1, "empty.png"},
#ifdef PCLXL_PDF_DATA
        {{"convert", "document", "--pages", "x"}, 1, "page ranges"},
#endif
    };
    TempDir dir;
    command_line(dir, "text");
    write_file(dir / "picture.gif", "GIF89a\x01\x00\x01\x00");
    write_file(dir / "empty.png", "");
    for (const auto &c : kCases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 1, {"-o", "job.pxl"});
        SCOPED_TRACE(::testing::PrintToString(args));
        const Outcome r = run(dir, args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(exists(dir / "job.pxl"));
        std::remove((dir / "job.pxl").c_str());
    }
}

// The library's lines go to standard error only with --verbose, and then
// never into a job written to standard output.
TEST(Jobs, StandardOutputCarriesOnlyTheJob) {
    TempDir dir;
    const Outcome quiet = run(dir, {"testpage", "-o", "-"});
    const Outcome verbose = run(dir, {"testpage", "--verbose", "-o", "-"});
    EXPECT_TRUE(quiet.status == 0 && quiet.err.empty() && parse_job(quiet.out).ok) << quiet.err;
    EXPECT_NE(verbose.err.find("=> pclxl_start_job_with\n"), std::string::npos) << verbose.err;
    EXPECT_EQ(verbose.out, quiet.out);
}
