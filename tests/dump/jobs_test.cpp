// Whole jobs: written by Debian's ghostscript package (pxlmono and
// pxlcolor: run-length, JPEG and delta-row images, bitmap text, point data
// and real32 values; skipped where gs is not installed), and read by
// `pclxl dump` (exit status and messages).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dump_support.h"
#include "image_io.h"
#include "tool_run.h"

namespace {

using namespace dump_test;

// Text, vectors, a gray image big enough to compress and a small RGB image;
// then a page of text.
const char kPostScript[] = R"(%!PS
/Helvetica findfont 24 scalefont setfont
72 700 moveto (Hello PCL XL) show
1 0 0 setrgbcolor 72 500 200 100 rectfill
0 0 1 setrgbcolor 3 setlinewidth 72 400 moveto 300 450 lineto 200 300 lineto stroke
gsave 100 300 translate 300 200 scale
/s 64 string def
64 48 8 [64 0 0 -48 0 48] { 0 1 63 { s exch dup 4 idiv 8 mul 255 and put } for s } image
grestore
gsave 100 100 translate 300 150 scale
16 8 8 [16 0 0 -8 0 8]
{ <00102030405060708090A0B0C0D0E0F0FFEEDDCCBBAA99887766554433221100> } false 3 colorimage
grestore
showpage
0 0 0 setrgbcolor 72 700 moveto (Page two) show
showpage
)";

// --images decodes JPEG blocks too: the RGB image compressed JPEG comes out
// close to the same image compressed delta-row.
TEST(Ghostscript, JobsReadWithSensibleSummaries) {
    if (std::system("gs --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "gs (Debian's ghostscript package) is not installed";
    tool_test::TempDir dir;
    tool_test::write_file(dir / "in.ps", kPostScript);
    std::vector<Bytes> color_rows[4]; // the first image's rows per CompressMode
    for (const std::string device : {"pxlmono", "pxlcolor"}) {
        for (const std::string mode : {"1", "2", "3"}) {
            SCOPED_TRACE(device + " CompressMode=" + mode);
            const std::string command = "cd '" + dir.path +
                                        "' && gs -q -dNOPAUSE -dBATCH -dSAFER "
                                        "-sDEVICE=" +
                                        device + " -dCompressMode=" + mode +
                                        " -sOutputFile=" + device + mode + ".pxl in.ps";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            const std::string job = tool_test::slurp(dir / (device + mode + ".pxl"));
            const Result r = read_bytes(Bytes(job.begin(), job.end()));
            ASSERT_TRUE(r.ok) << "offset " << r.error.offset << ": " << r.error.message;
            const auto &s = r.summary;
            EXPECT_EQ(s.pages.size(), 2u);
            ASSERT_EQ(s.images.size(), 2u);
            EXPECT_EQ(s.images[0].width, 64u);
            EXPECT_EQ(s.images[0].rows, 48u);
            EXPECT_GE(s.fonts.at(0).characters, 10u);
            const int m = std::stoi(mode);
            if (m == 2)
                EXPECT_GE(s.jpeg_blocks, 1u);
            else
                EXPECT_TRUE((s.images[0].compressions | s.images[1].compressions) & (1u << m));
            if (device == "pxlcolor") {
                color_rows[m] = r.recorder.rows.at(0);
                EXPECT_EQ(
                    tool_test::run(dir, {"dump", "--images", mode, device + mode + ".pxl"}).status,
                    0);
            }
        }
    }
    // The same image compressed run-length and delta-row decodes alike.
    EXPECT_EQ(color_rows[1], color_rows[3]);
    pclxl_tool::Image jpeg, exact;
    std::string error;
    ASSERT_TRUE(pclxl_tool::load_image(dir / "2/image-002.png", jpeg, error) &&
                pclxl_tool::load_image(dir / "3/image-002.png", exact, error))
        << error;
    ASSERT_EQ(jpeg.pixels.size(), exact.pixels.size());
    long difference = 0;
    for (size_t i = 0; i < exact.pixels.size(); ++i)
        difference += std::labs(long(jpeg.pixels[i]) - long(exact.pixels[i]));
    EXPECT_LT(difference / long(exact.pixels.size()), 16) << "mean difference per sample";
}

// Exit 0 means a whole job: what is missing is named at the end.
TEST(Cli, StatusAndOutput) {
    const std::string body = "C0 CC F8 2C 7B", stream = in_page(body);
    const Bytes job = from_hex(in_job(body));
    const std::string job_text(job.begin(), job.end());
    const std::string header = text_hex(job_text.substr(0, job_text.find(") HP")));
    const struct {
        const char *option;
        std::string input; // hex; "" for no file at all
        int status;
        std::string output; // a part of it
    } cases[] = {
        {"", in_job(body), 0, ": SetROP ROP3=204\n"},
        {"--summary", in_job(body), 0, "total bytes: " + std::to_string(job.size()) + "\n"},
        {"", in_page("3A"), 1, ": unknown tag 0x3A\n"},
        {"", " ", 1, "in: offset 0: incomplete job: the input is empty\n"},
        {"", kUel + text_hex("@PJL JOB\r\n@PJL SET COPIES=1\r\n"), 1,
         "the job ends in its PJL header"},
        {"", header + kHeader, 1, "the PCL XL stream holds no session"},
        {"", header + stream, 1, "the PCL XL stream ends without the UEL"},
        {"", header + stream + kUel, 1, "ends without its trailer"},
        {"", header + stream + kUel + text_hex("@PJL EOJ\r\n"), 1,
         "the job does not end with the UEL"},
        {"", "", 2, "pclxl dump: in: "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.output);
        tool_test::TempDir dir;
        if (!c.input.empty()) {
            const Bytes input = from_hex(c.input);
            tool_test::write_file(dir / "in", std::string(input.begin(), input.end()));
        }
        const tool_test::Outcome r =
            tool_test::run(dir, *c.option ? std::vector<std::string>{"dump", c.option, "in"}
                                          : std::vector<std::string>{"dump", "in"});
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.output), std::string::npos) << r.out << r.err;
    }
}

} // namespace
