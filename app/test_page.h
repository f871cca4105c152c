// The test page of the web interface's "Print Test Page": a one-page PDF
// made on the spot, which then takes the same way as any PDF job.
#ifndef PCLXL_APP_TEST_PAGE_H
#define PCLXL_APP_TEST_PAGE_H

#include <string>

namespace pclxl_app {

// Where test pages are written (the spool directory); set at start-up.
extern std::string test_page_directory;

// Writes the test page PDF for a sheet of `width` x `height` points with
// `margin` points that cannot be printed, naming the printer and its
// driver. Returns the file's name, or an empty string when it cannot be
// written.
std::string write_test_page(const std::string &printer, const std::string &driver, double width,
                            double height, double margin);

} // namespace pclxl_app

#endif
