#include "raster_maker.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "capture.h"
#include "rastertopclxl.h"

namespace filter_test {

cups_page_header2_t a4_header(unsigned bits_per_pixel, cups_cspace_t space) {
    cups_page_header2_t h;
    std::memset(&h, 0, sizeof h);
    h.HWResolution[0] = h.HWResolution[1] = 600;
    h.cupsPageSize[0] = h.PageSize[0] = 595;
    h.cupsPageSize[1] = h.PageSize[1] = 842;
    h.Margins[0] = h.Margins[1] = 12;
    const unsigned box[4] = {12, 12, 583, 830};
    for (int i = 0; i < 4; i++)
        h.cupsImagingBBox[i] = static_cast<float>(h.ImagingBoundingBox[i] = box[i]);
    h.NumCopies = 1;
    std::strcpy(h.cupsPageSizeName, "A4");
    std::strcpy(h.MediaType, "plain");
    h.cupsWidth = 64;
    h.cupsHeight = 16;
    h.cupsBitsPerPixel = bits_per_pixel;
    h.cupsBitsPerColor = bits_per_pixel == 24 ? 8 : bits_per_pixel;
    h.cupsBytesPerLine = (h.cupsWidth * bits_per_pixel + 7) / 8;
    h.cupsColorOrder = CUPS_ORDER_CHUNKED;
    h.cupsColorSpace = space;
    h.cupsNumColors = bits_per_pixel == 24 ? 3 : 1;
    return h;
}

namespace {
ssize_t append(void *context, unsigned char *data, size_t length) {
    static_cast<std::string *>(context)->append(reinterpret_cast<char *>(data), length);
    return static_cast<ssize_t>(length);
}
} // namespace

std::string make_raster(const std::vector<Page> &pages) {
    std::string out;
    cups_raster_t *r = cupsRasterOpenIO(append, &out, CUPS_RASTER_WRITE);
    for (const Page &p : pages) {
        cups_page_header2_t h = p.header;
        cupsRasterWriteHeader2(r, &h);
        std::vector<unsigned char> row(h.cupsBytesPerLine);
        for (unsigned y = 0; y < h.cupsHeight; y++) {
            p.fill(y, row.data());
            cupsRasterWritePixels(r, row.data(), h.cupsBytesPerLine);
        }
    }
    cupsRasterClose(r);
    return out;
}

Result run_filter(const std::string &input, const char *options, const char *job_name,
                  const char *user) {
    FILE *in = std::tmpfile(), *out = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::fflush(in);
    lseek(fileno(in), 0, SEEK_SET);
    Result r{};
    r.messages = pclxl_test::capture_stderr([&] {
        r.status = rastertopclxl_run_job(fileno(in), fileno(out), options, job_name, user, nullptr);
    });
    std::fclose(in);
    std::rewind(out);
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, out)) > 0;)
        r.output.append(buf, n);
    std::fclose(out);
    return r;
}

size_t count(const std::string &haystack, const std::string &needle) {
    size_t n = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1))
        n++;
    return n;
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

} // namespace filter_test
