// Property: the raster filter's page loop takes any bytes as CUPS raster
// without crashing or hanging; it ends with status 0, or 1 after an
// "ERROR: " line; every line it prints is a filter message; and what it
// wrote is empty or a whole job the reader accepts.
//
// The first byte picks the job options and the form of the rest:
//  - high bit clear: a raster stream as it is, uncompressed only, so that
//    the work of a page is bounded by the bytes present (run-length data
//    can repeat a line hundreds of times from a few bytes);
//  - high bit set: up to four small pages (at most 96 x 48 pixels) whose
//    header fields, texts and pixels come from the input, written by
//    libcups (compressed or not), then cut, changed or extended.
// Every page stays small, so the target runs hundreds of inputs a second.
#include <cstddef>
#include <cstring>
#include <cups/raster.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "fuzz_input.h"
#include "rastertopclxl.h"
#include "reader.h"

namespace {

int memory_file(const char *name) {
    const int fd = memfd_create(name, 0);
    FUZZ_CHECK(fd >= 0, "memfd_create failed");
    return fd;
}

std::vector<uint8_t> contents(int fd) {
    std::vector<uint8_t> out;
    uint8_t buf[65536];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        out.insert(out.end(), buf, buf + n);
    return out;
}

uint32_t field(const uint8_t *raster, size_t offset, bool swapped) {
    uint32_t v;
    std::memcpy(&v, raster + 4 + offset, 4);
    return swapped ? __builtin_bswap32(v) : v;
}

// A raster stream as it is: only the uncompressed forms (versions 1 and
// 3, in either byte order), and a first page whose line buffer, which
// libcups allocates before the filter sees the header, stays small.
bool acceptable_raw(const uint8_t *raster, size_t size) {
    if (size < 4)
        return true;
    uint32_t sync;
    std::memcpy(&sync, raster, 4);
    const bool swapped = sync == CUPS_RASTER_REVSYNC || sync == CUPS_RASTER_REVSYNCv1;
    if (sync != CUPS_RASTER_SYNC && sync != CUPS_RASTER_SYNCv1 && !swapped)
        return false;
    if (size < 4 + sizeof(cups_page_header2_t))
        return true;
    return field(raster, offsetof(cups_page_header2_t, cupsBytesPerLine), swapped) <= (1u << 20);
}

ssize_t append(void *context, unsigned char *data, size_t length) {
    static_cast<std::string *>(context)->append(reinterpret_cast<char *>(data), length);
    return static_cast<ssize_t>(length);
}

// The raster kinds the filter takes, and some it refuses.
struct Kind {
    unsigned bits, color_bits;
    cups_cspace_t space;
    cups_order_t order;
};
const Kind kKinds[] = {
    {1, 1, CUPS_CSPACE_K, CUPS_ORDER_CHUNKED},
    {1, 1, CUPS_CSPACE_W, CUPS_ORDER_CHUNKED},
    {1, 1, CUPS_CSPACE_SW, CUPS_ORDER_CHUNKED},
    {8, 8, CUPS_CSPACE_W, CUPS_ORDER_CHUNKED},
    {8, 8, CUPS_CSPACE_SW, CUPS_ORDER_CHUNKED},
    {8, 8, CUPS_CSPACE_K, CUPS_ORDER_CHUNKED},
    {24, 8, CUPS_CSPACE_RGB, CUPS_ORDER_CHUNKED},
    {24, 8, CUPS_CSPACE_SRGB, CUPS_ORDER_CHUNKED},
    {24, 8, CUPS_CSPACE_ADOBERGB, CUPS_ORDER_CHUNKED},
    {16, 16, CUPS_CSPACE_W, CUPS_ORDER_CHUNKED},
    {32, 8, CUPS_CSPACE_CMYK, CUPS_ORDER_CHUNKED},
    {8, 8, CUPS_CSPACE_RGB, CUPS_ORDER_PLANAR},
};

template <size_t N> void put_text(char (&field)[N], const std::string &text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size() < N ? text.size() : N);
}

// Up to four small pages from the input, then one change to the stream.
std::string small_pages(pclxl_fuzz::Input &in) {
    const bool compressed = in.flag();
    std::string out;
    cups_raster_t *r = cupsRasterOpenIO(
        append, &out, compressed ? CUPS_RASTER_WRITE_COMPRESSED : CUPS_RASTER_WRITE);
    for (int page = 0; page < 4 && !in.empty(); ++page) {
        const Kind &k = kKinds[in.range(0, sizeof kKinds / sizeof kKinds[0] - 1)];
        cups_page_header2_t h;
        std::memset(&h, 0, sizeof h);
        h.cupsBitsPerPixel = k.bits;
        h.cupsBitsPerColor = k.color_bits;
        h.cupsColorSpace = k.space;
        h.cupsColorOrder = k.order;
        h.cupsWidth = unsigned(in.range(1, 96));
        h.cupsHeight = unsigned(in.range(1, 48));
        h.cupsBytesPerLine = (h.cupsWidth * k.bits + 7) / 8;
        const uint8_t flags = in.u8();
        h.Duplex = flags & 1 ? CUPS_TRUE : CUPS_FALSE;
        h.Tumble = flags & 2 ? CUPS_TRUE : CUPS_FALSE;
        static const unsigned kDpi[] = {600, 300, 1200, 720};
        h.HWResolution[0] = flags & 4 ? in.u16() : kDpi[in.range(0, 3)];
        h.HWResolution[1] = flags & 8 ? in.u16() : h.HWResolution[0];
        h.NumCopies = flags & 16 ? in.u32() : unsigned(in.range(0, 3));
        h.MediaPosition = in.u8();
        static const unsigned kSizes[][2] = {{595, 842}, {612, 792}, {297, 420}, {500, 500}};
        const unsigned *size = kSizes[in.range(0, 3)];
        h.PageSize[0] = size[0];
        h.PageSize[1] = size[1];
        if (flags & 32) {
            h.cupsPageSize[0] = float(int16_t(in.u16()));
            h.cupsPageSize[1] = float(int16_t(in.u16()));
            for (float &edge : h.cupsImagingBBox)
                edge = float(int16_t(in.u16()));
        } else {
            h.cupsPageSize[0] = float(size[0]);
            h.cupsPageSize[1] = float(size[1]);
        }
        put_text(h.MediaType, in.text(64));
        put_text(h.cupsPageSizeName, in.text(64));
        cupsRasterWriteHeader2(r, &h);
        const std::vector<uint8_t> rows = in.fill(size_t(h.cupsBytesPerLine) * h.cupsHeight);
        cupsRasterWritePixels(r, const_cast<unsigned char *>(rows.data()), unsigned(rows.size()));
    }
    cupsRasterClose(r);
    switch (in.u8() % 4) {
    case 1: out.resize(size_t(in.range(0, int64_t(out.size())))); break;
    case 2: // a changed byte: in a compressed stream only in a header
        if (!out.empty() && !compressed)
            out[size_t(in.range(0, int64_t(out.size()) - 1))] ^= char(in.u8() | 1);
        break;
    case 3:
        for (uint8_t b : in.bytes(64))
            out += char(b);
        break;
    default: break;
    }
    return out;
}

// Every line is one the scheduler reads as a filter message.
bool filter_lines(const std::string &messages) {
    size_t start = 0;
    for (size_t end; (end = messages.find('\n', start)) != std::string::npos; start = end + 1) {
        bool known = false;
        for (const char *prefix : {"DEBUG: ", "INFO: ", "ERROR: ", "PAGE: "})
            known |= messages.compare(start, std::strlen(prefix), prefix) == 0;
        if (!known)
            return false;
    }
    return start == messages.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const char *const kOptions[] = {nullptr, "", "Collate=True copies=2",
                                           "Duplex=DuplexNoTumble PageSize=Letter",
                                           "MediaType=Labels InputSlot=Tray1 noCollate"};
    if (size == 0)
        return 0;
    const char *options = kOptions[(data[0] & 0x7F) % 5];
    std::string raster;
    if (data[0] & 0x80) {
        pclxl_fuzz::Input in(data + 1, size - 1);
        raster = small_pages(in);
    } else {
        if (!acceptable_raw(data + 1, size - 1))
            return 0;
        raster.assign(reinterpret_cast<const char *>(data + 1), size - 1);
    }
    const int in = memory_file("raster"), out = memory_file("job");
    if (write(in, raster.data(), raster.size()) != static_cast<ssize_t>(raster.size()))
        std::abort();
    lseek(in, 0, SEEK_SET);

    int status;
    std::string messages;
    {
        pclxl_fuzz::StderrCapture capture;
        status = rastertopclxl_run_job(in, out, options, "job\r\nSTATE: +x", "user\n", nullptr);
        messages = capture.take();
    }
    const std::vector<uint8_t> job = contents(out);
    close(in);
    close(out);

    FUZZ_CHECK(status == 0 || (status == 1 && messages.find("ERROR: ") != std::string::npos),
               "status %d, messages: %s", status, messages.c_str());
    FUZZ_CHECK(filter_lines(messages), "a line that is no filter message: %s", messages.c_str());
    if (job.empty())
        return 0;
    pclxl_reader::Source source(job.data(), job.size());
    pclxl_reader::Listener listener;
    pclxl_reader::Summary summary;
    pclxl_reader::Error error;
    FUZZ_CHECK(pclxl_reader::read_job(source, listener, summary, error) &&
                   pclxl_reader::check_complete(summary, error),
               "the filter's output is rejected at offset %llu: %s",
               static_cast<unsigned long long>(error.offset), error.message.c_str());
    return 0;
}
