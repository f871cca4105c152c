#include "raster_maker.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

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

std::string read_all(FILE *f) {
    std::string s;
    std::rewind(f);
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        s.append(buf, n);
    std::fclose(f);
    return s;
}
} // namespace

std::string make_raster(const std::vector<Page> &pages, bool compressed) {
    std::string out;
    cups_raster_t *r = cupsRasterOpenIO(
        append, &out, compressed ? CUPS_RASTER_WRITE_COMPRESSED : CUPS_RASTER_WRITE);
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

Result run_filter(const std::string &input, const char *options, long cancel_at,
                  const char *job_name, const char *user) {
    int fds[2];
    if (pipe(fds) != 0)
        return {-1, "", "pipe failed"};
    // A small pipe keeps the writer close behind the filter's reading.
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    volatile sig_atomic_t cancel = 0;
    std::signal(SIGPIPE, SIG_IGN);
    // The writer stops early when the filter closes its end (cancellation).
    std::thread writer([&] {
        if (cancel_at == 0)
            cancel = 1;
        size_t done = 0;
        while (done < input.size()) {
            size_t limit = input.size();
            if (cancel_at >= 0 && done < static_cast<size_t>(cancel_at))
                limit = static_cast<size_t>(cancel_at);
            size_t chunk = limit - done < 4096 ? limit - done : 4096;
            ssize_t n = write(fds[1], input.data() + done, chunk);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
            if (cancel_at >= 0 && done >= static_cast<size_t>(cancel_at))
                cancel = 1;
        }
        close(fds[1]);
    });

    FILE *out = std::tmpfile();
    FILE *err = std::tmpfile();
    std::fflush(stderr);
    int saved_stderr = dup(2);
    dup2(fileno(err), 2);
    int status = rastertopclxl_run_job(fds[0], fileno(out), options, job_name, user, &cancel);
    std::fflush(stderr);
    dup2(saved_stderr, 2);
    close(saved_stderr);
    close(fds[0]);
    writer.join();

    return {status, read_all(out), read_all(err)};
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
