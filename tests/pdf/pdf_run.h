// The converter in-process for the PDF tests: a document in memory to a job
// read back, with its result, statistics and messages.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "capture.h"
#include "pdf_job.h"
#include "tool_run.h"

namespace pdf_test {

using Options = pclxl::pdf::JobOptions;

inline std::string doc(const std::string &name) {
    return tool_test::slurp(PCLXL_PDF_DATA "/" + name);
}

// A one-page PDF of `width` x `height` points drawing `content`, with
// Helvetica as /F1; the cross-reference table is exact.
inline std::string one_page_pdf(const std::string &content, int width = 200, int height = 200) {
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(width) + " " +
            std::to_string(height) + "] /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    std::string pdf = "%PDF-1.4\n", xref = "xref\n0 6\n0000000000 65535 f \n";
    for (size_t i = 0; i < objects.size(); i++) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", pdf.size());
        xref += line;
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    return pdf + xref + "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n" +
           std::to_string(pdf.size()) + "\n%%EOF\n";
}

struct Converted {
    int rc = -1;
    std::string error;
    pclxl::pdf::JobStats stats;
    tool_test::Job job;
    std::vector<std::string> messages;
};

inline Converted convert(const std::string &pdf, Options o = {}) {
    Converted c;
    o.message = [](const char *line, void *user) {
        static_cast<std::vector<std::string> *>(user)->push_back(line);
    };
    o.message_user = &c.messages;
    pclxl_test::Capture out;
    c.rc = pclxl::pdf::write_job_from_memory(reinterpret_cast<const unsigned char *>(pdf.data()),
                                             pdf.size(), o, &c.stats, &c.error);
    const pclxl_test::Bytes bytes = out.all();
    c.job = tool_test::parse_job({bytes.begin(), bytes.end()});
    return c;
}

// The RGB colours the job sets, in order.
inline std::vector<std::string> rgb_colours(const tool_test::Job &job) {
    std::vector<std::string> colours;
    for (const auto &c : job.commands)
        if (const auto *v = c.find(pclxl_reader::attr::RGBColor))
            colours.push_back(v->bytes());
    return colours;
}

} // namespace pdf_test
