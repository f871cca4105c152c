// Jobs written by Debian's ghostscript package (pxlmono and pxlcolor) carry
// run-length, JPEG and delta-row images, bitmap text, point data and real32
// values, and must read without error. Skipped where gs is not installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dump_support.h"
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

class Ghostscript : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("gs --version > /dev/null 2>&1") != 0)
            GTEST_SKIP() << "gs (Debian's ghostscript package) is not installed";
        tool_test::write_file(dir_ / "in.ps", kPostScript);
    }

    Bytes render(const std::string &device, int mode) {
        const std::string out = dir_ / (device + std::to_string(mode) + ".pxl");
        const std::string command = "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=" + device +
                                    " -dCompressMode=" + std::to_string(mode) +
                                    " -sOutputFile=" + out + " " + dir_.path + "/in.ps";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        const std::string bytes = tool_test::slurp(out);
        return Bytes(bytes.begin(), bytes.end());
    }

    tool_test::TempDir dir_;
};

// --images decodes JPEG blocks too: the RGB image compressed JPEG comes out
// close to the same image compressed delta-row.
TEST_F(Ghostscript, JobsReadWithSensibleSummaries) {
    std::vector<Bytes> color_rows[4]; // the first image's rows per CompressMode
    for (const char *device : {"pxlmono", "pxlcolor"}) {
        for (int mode : {1, 2, 3}) {
            SCOPED_TRACE(std::string(device) + " CompressMode=" + std::to_string(mode));
            const Result r = read_bytes(render(device, mode));
            ASSERT_TRUE(r.ok) << "offset " << r.error.offset << ": " << r.error.message;
            const auto &s = r.summary;
            EXPECT_EQ(s.pages.size(), 2u);
            ASSERT_EQ(s.images.size(), 2u);
            EXPECT_EQ(s.images[0].width, 64u);
            EXPECT_EQ(s.images[0].rows, 48u);
            EXPECT_GE(s.fonts.at(0).characters, 10u);
            if (mode == 2)
                EXPECT_GE(s.jpeg_blocks, 1u);
            else
                EXPECT_TRUE((s.images[0].compressions | s.images[1].compressions) & (1u << mode));
            if (std::string(device) == "pxlmono")
                continue;
            color_rows[mode] = r.recorder.rows.at(0);
            const std::string m = std::to_string(mode);
            EXPECT_EQ(tool_test::run(dir_, {"dump", "--images", m, "pxlcolor" + m + ".pxl"}).status,
                      0);
        }
    }
    // The same image compressed run-length and delta-row decodes alike.
    EXPECT_EQ(color_rows[1], color_rows[3]);
    int channels = 0;
    const Bytes jpeg = read_png(dir_ / "2/image-002.png", &channels);
    const Bytes exact = read_png(dir_ / "3/image-002.png", &channels);
    ASSERT_EQ(jpeg.size(), exact.size());
    ASSERT_FALSE(exact.empty());
    long difference = 0;
    for (size_t i = 0; i < exact.size(); ++i)
        difference += std::labs(long(jpeg[i]) - long(exact[i]));
    EXPECT_LT(difference / long(exact.size()), 16) << "mean difference per sample";
}

} // namespace
