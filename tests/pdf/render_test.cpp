// pclxl convert with a PDF, and its jobs as an independent interpreter
// prints them against the PDF rendered directly (skipped when
// ../shared/tools/gpcl6 is absent).
#include <gtest/gtest.h>

#include "interop_check.h"

using namespace tool_test;

namespace {

std::string data(const std::string &name) { return PCLXL_PDF_DATA "/" + name; }

TEST(Rendered, MatchesTheDocument) {
    const std::string tools = PCLXL_SHARED_TOOLS;
    if (!exists(tools + "/gpcl6") || !exists(tools + "/pxl-compare"))
        GTEST_SKIP() << "no interpreter in " << tools;
    for (const char *pdf : {"vector.pdf", "text.pdf", "image.pdf", "turns.pdf", "transparency.pdf",
                            "far.pdf", "embedded.pdf", "rules.pdf"}) {
        SCOPED_TRACE(pdf);
        TempDir dir;
        const Outcome made = run(dir, {"convert", data(pdf), "-o", "job.pxl"});
        ASSERT_EQ(made.status, 0) << made.err;
        const Outcome cmp = run(dir, {data(pdf), "job.pxl"}, tools + "/pxl-compare");
        const std::string report = cmp.out + cmp.err;
        EXPECT_EQ(report.find("error"), std::string::npos) << report;
        // Every page of the document's own size within a hard-to-see
        // difference (landscape pages are turned onto the portrait sheet).
        size_t pages = 0;
        for (size_t at = 0; (at = report.find("mean difference ", at)) != std::string::npos; ++at) {
            const std::string l = report.substr(at, report.find('\n', at) - at);
            if (l.find("sizes differ") == std::string::npos) {
                EXPECT_LT(std::stod(l.substr(16)), 3.0) << report;
                ++pages;
            }
        }
        EXPECT_GT(pages, 0u) << report;
    }
}

// The options reach the converter and from there the job header and pages.
TEST(Cli, ConvertTakesPdfByContentWithTheJobOptions) {
    TempDir dir;
    write_file(dir / "document", slurp(data("text.pdf"))); // no .pdf in the name
    const Outcome ok = run(
        dir,
        {"convert",       "document", "-o",     "out.pxl", "--verbose",    "--pages",  "2",
         "--dpi",         "300",      "--gray", "--paper", "Letter",       "--duplex", "long-edge",
         "--copies",      "3",        "--tray", "tray_2",  "--media-type", "labels",   "--title",
         "Report \"Q3\"", "--user",   "ann"});
    ASSERT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.err.find("1 pages, "), std::string::npos) << ok.err;
    const Job job = read_job(dir / "out.pxl");
    ASSERT_TRUE(job.ok) << job.error.message;
    ASSERT_EQ(job.summary.pages.size(), 1u);
    EXPECT_FALSE(job.ops("Text").empty());
    const pclxl_reader::PageInfo &p = job.summary.pages[0];
    EXPECT_EQ(p.media_size + "/" + p.media_type + "/" + std::to_string(p.copies),
              "eLetterPaper/Labels/3");
    EXPECT_FALSE(p.duplex.empty());
    for (const char *line : {"DUPLEX=ENABLE", "RENDERMODE=GRAYSCALE", "JOBNAME=\"Report _Q3_\"",
                             "USERNAME=\"ann\"", "RESOLUTION=R300X300"})
        EXPECT_TRUE(job.has_pjl(std::string("@PJL SET ") + line)) << line;
    expect_interop(job);
    // A gray job never selects the RGB colour space.
    for (const pclxl_reader::Command *cs : job.ops("SetColorSpace"))
        EXPECT_NE(cs->find(pclxl_reader::attr::ColorSpace)->number(), pclxl_reader::enums::eRGB);
    // A job that failed leaves no file, whether it failed before its first
    // page or after some.
    const struct {
        std::vector<std::string> args;
        int status;
        const char *err;
    } kRefused[] = {
        {{"--dpi", "400", "document"}, 2, "dpi"},
        {{"--pages", "x", "document"}, 1, "page ranges"},
        {{data("hostile-page-loop.pdf")}, 1, "cycle in page tree"},
        {{data("hostile-broken-xref.pdf")}, 1, "no pages"},
    };
    for (const auto &k : kRefused) {
        std::vector<std::string> args = {"convert", "-o", "x.pxl"};
        args.insert(args.end(), k.args.begin(), k.args.end());
        const Outcome o = run(dir, args);
        EXPECT_EQ(o.status, k.status) << o.err;
        EXPECT_NE(o.err.find(k.err), std::string::npos) << o.err;
        EXPECT_FALSE(exists(dir / "x.pxl"));
    }
}

} // namespace
