#include "test_page.h"

#include <cstdio>
#include <vector>

namespace pclxl_app {

std::string test_page_directory;

namespace {

// Text for a PDF string: only printable ASCII, with its delimiters escaped.
std::string pdf_text(const std::string &s) {
    std::string out;
    for (char c : s) {
        if (c < ' ' || c > '~')
            c = '?';
        if (c == '(' || c == ')' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

} // namespace

std::string write_test_page(const std::string &printer, const std::string &driver, double width,
                            double height, double margin) {
    char line[256];
    // A frame on the printable area's edge, a cross through it, and the
    // printer's name: what lands on paper shows the margins and placement.
    std::string page;
    std::snprintf(line, sizeof line, "2 w %.2f %.2f %.2f %.2f re S %.2f %.2f m %.2f %.2f l S\n",
                  margin + 1, margin + 1, width - 2 * margin - 2, height - 2 * margin - 2,
                  margin + 1, margin + 1, width - margin - 1, height - margin - 1);
    page += line;
    const std::string lines[] = {"PCL XL printer application test page", "Printer: " + printer,
                                 "Driver: " + driver, "The frame is the printable area."};
    double y = height - margin - 60;
    for (const std::string &text : lines) {
        std::snprintf(line, sizeof line, "BT /F1 18 Tf %.2f %.2f Td (", margin + 30, y);
        page += line + pdf_text(text) + ") Tj ET\n";
        y -= 28;
    }
    page += "1 0 0 rg 72 72 144 72 re f 0 0 1 rg 288 72 144 72 re f\n";

    std::snprintf(line, sizeof line, "%.2f %.2f", width, height);
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        std::string("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ") + line +
            "] /Resources << /Font << /F1 4 0 R >> >> /Contents 5 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Length " + std::to_string(page.size()) + " >>\nstream\n" + page + "endstream",
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); i++) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";

    // PAPPL removes the file once the job is done.
    const std::string name = test_page_directory + "/testpage-" + printer + ".pdf";
    std::FILE *f = std::fopen(name.c_str(), "wb");
    if (!f)
        return std::string();
    const bool ok = std::fwrite(pdf.data(), 1, pdf.size(), f) == pdf.size();
    return std::fclose(f) == 0 && ok ? name : std::string();
}

} // namespace pclxl_app
