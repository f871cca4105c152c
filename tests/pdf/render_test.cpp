// Jobs from pclxl convert with a PDF as an independent interpreter prints
// them, against the PDF rendered directly (skipped when
// ../shared/tools/gpcl6 is absent). Its options: tests/tools/job_test.cpp.
#include <gtest/gtest.h>

#include "tool_run.h"

using namespace tool_test;

namespace {

std::string data(const std::string &name) { return PCLXL_PDF_DATA "/" + name; }

TEST(Rendered, MatchesTheDocument) {
    const std::string tools = PCLXL_SHARED_TOOLS;
    if (!exists(tools + "/gpcl6") || !exists(tools + "/pxl-compare"))
        GTEST_SKIP() << "no interpreter in " << tools;
    for (const char *pdf :
         {"vector.pdf", "text.pdf", "image.pdf", "turns.pdf", "transparency.pdf", "far.pdf",
          "embedded.pdf", "rules.pdf", "cmyk.pdf", "icc.pdf", "shadows.pdf", "annotations.pdf"}) {
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

} // namespace
