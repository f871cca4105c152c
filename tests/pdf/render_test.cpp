// The jobs as an independent interpreter prints them, against the PDF
// rendered directly; and pclxl convert with a PDF. The render checks skip
// when ../shared/tools/gpcl6 is absent.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tool_run.h"

using namespace tool_test;

namespace {

std::string data(const std::string &name) { return std::string(PCLXL_PDF_DATA) + "/" + name; }

#ifdef PCLXL_TOOL

class Rendered : public ::testing::TestWithParam<const char *> {};

TEST_P(Rendered, MatchesTheDocument) {
    const std::string tools = PCLXL_SHARED_TOOLS;
    if (!exists(tools + "/gpcl6") || !exists(tools + "/pxl-compare"))
        GTEST_SKIP() << "no interpreter in " << tools;
    TempDir dir;
    const Outcome made = run(dir, {"convert", data(GetParam()), "-o", "job.pxl"});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string cmd =
        "'" + tools + "/pxl-compare' '" + data(GetParam()) + "' '" + (dir / "job.pxl") + "' 2>&1";
    std::FILE *p = popen(cmd.c_str(), "r");
    ASSERT_TRUE(p);
    std::string report;
    char line[512];
    while (std::fgets(line, sizeof line, p))
        report += line;
    pclose(p);
    EXPECT_EQ(report.find("error"), std::string::npos) << report;
    // Every page of the document's own size within a hard-to-see difference.
    size_t pages = 0;
    for (size_t at = 0; (at = report.find("mean difference ", at)) != std::string::npos; ++at) {
        const size_t end = report.find('\n', at);
        const std::string l = report.substr(at, end - at);
        if (l.find("sizes differ") != std::string::npos)
            continue; // landscape pages are turned onto the portrait sheet
        EXPECT_LT(std::stod(l.substr(16)), 3.0) << report;
        ++pages;
    }
    EXPECT_GT(pages, 0u) << report;
}

INSTANTIATE_TEST_SUITE_P(Pdf, Rendered,
                         ::testing::Values("vector.pdf", "text.pdf", "image.pdf", "turns.pdf",
                                           "transparency.pdf", "far.pdf", "embedded.pdf",
                                           "rules.pdf"),
                         [](const auto &info) {
                             std::string n = info.param;
                             return n.substr(0, n.find('.'));
                         });

TEST(Cli, ConvertTakesPdfByContent) {
    TempDir dir;
    // No .pdf in the name: the content decides.
    write_file(dir / "document", slurp(data("text.pdf")));
    const Outcome ok = run(dir, {"convert", "--pages", "2", "--dpi", "300", "--gray", "--verbose",
                                 "document", "-o", "out.pxl"});
    ASSERT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.err.find("1 pages, "), std::string::npos) << ok.err;
    const Job job = read_job(dir / "out.pxl");
    ASSERT_TRUE(job.ok) << job.error.message;
    EXPECT_EQ(job.summary.pages.size(), 1u);
    EXPECT_FALSE(job.ops("Text").empty());

    const struct {
        std::vector<std::string> args;
        int status;
        const char *err;
    } kRefused[] = {
        {{"convert", "--dpi", "400", "document", "-o", "x.pxl"}, 2, "dpi"},
        {{"convert", "--pages", "x", "document", "-o", "x.pxl"}, 1, "page ranges"},
        {{"convert", data("hostile-page-loop.pdf"), "-o", "x.pxl"}, 1, "cycle in page tree"},
    };
    for (const auto &k : kRefused) {
        const Outcome o = run(dir, k.args);
        EXPECT_EQ(o.status, k.status) << o.err;
        EXPECT_NE(o.err.find(k.err), std::string::npos) << o.err;
    }
    // A job that failed leaves no file, whether it failed before its
    // first page or after some.
    EXPECT_FALSE(exists(dir / "x.pxl"));
    EXPECT_EQ(run(dir, {"convert", data("hostile-broken-xref.pdf"), "-o", "y.pxl"}).status, 1);
    EXPECT_FALSE(exists(dir / "y.pxl"));
}

#endif

} // namespace
