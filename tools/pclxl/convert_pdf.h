// pclxl convert with a PDF input: the options only PDF takes, and the
// branch that hands the document to the PDF converter.
#ifndef PCLXL_TOOL_CONVERT_PDF_H
#define PCLXL_TOOL_CONVERT_PDF_H

#include <string>
#include <vector>

#include "job_options.h"

namespace pclxl_tool {

struct PdfOptions {
    bool paper_given = false; // --paper: else each page picks its paper
    std::string pages;        // --pages RANGES
    bool fit = true;          // --no-fit: centre pages at their own size
    bool raster = false;      // --raster: each page as one image
    long region_dpi = 0;      // --region-dpi N: 0 for the job's resolution
};

extern const char kPdfOptionsHelp[];

// Takes a PDF-only option at argv[i] (moving `i` past it), notes --paper
// without taking it, or leaves `i` alone and returns NotMine.
OptionResult take_pdf_option(const char *command, int argc, char **argv, int &i, PdfOptions &pdf);

// True when the first input is a PDF (by its content).
bool is_pdf_input(const std::vector<std::string> &inputs);

// Writes the job for one PDF input; returns the exit status.
int convert_pdf(const std::vector<std::string> &inputs, JobOptions &opts, const PdfOptions &pdf);

} // namespace pclxl_tool

#endif
