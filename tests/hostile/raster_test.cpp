// The raster filter against page headers with impossible sizes: zero,
// all bits set (a negative number read as unsigned), the sign bit alone,
// and just past each limit. Each must end the job cleanly: status 1 after
// an "ERROR: " line, and output that is empty or a well-formed job.
#include <gtest/gtest.h>

#include <cups/raster.h>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

#include "capture.h"
#include "job_builder.h"
#include "rastertopclxl.h"

namespace {

cups_page_header2_t gray_page() {
    cups_page_header2_t h;
    std::memset(&h, 0, sizeof h);
    h.HWResolution[0] = h.HWResolution[1] = 600;
    h.PageSize[0] = 595;
    h.PageSize[1] = 842;
    h.cupsWidth = 48;
    h.cupsHeight = 12;
    h.cupsBitsPerColor = 8;
    h.cupsBitsPerPixel = 8;
    h.cupsBytesPerLine = 48;
    h.cupsColorOrder = CUPS_ORDER_CHUNKED;
    h.cupsColorSpace = CUPS_CSPACE_SW;
    h.cupsNumColors = 1;
    h.NumCopies = 1;
    std::strcpy(h.cupsPageSizeName, "A4");
    return h;
}

// Stores a raw 32-bit value into an enumeration field of the header, as a
// hostile raster file can: the value need not be one of the enumeration's.
template <typename Field> void set_raw(Field &field, uint32_t value) {
    static_assert(sizeof field == sizeof value);
    std::memcpy(&field, &value, sizeof value);
}

struct Result {
    int status;
    std::string messages;
    pclxl_test::Bytes job;
};

// Uncompressed raster: the header written by libcups as it is, then the
// pixel bytes.
Result run_filter(const cups_page_header2_t &h, size_t pixel_bytes) {
    const int in = memfd_create("raster", 0), out = memfd_create("job", 0);
    cups_raster_t *writer = cupsRasterOpen(in, CUPS_RASTER_WRITE);
    cups_page_header2_t copy = h;
    cupsRasterWriteHeader2(writer, &copy);
    cupsRasterClose(writer);
    std::string pixels;
    for (size_t i = 0; i < pixel_bytes; ++i)
        pixels.push_back(static_cast<char>(i * 13));
    EXPECT_EQ(write(in, pixels.data(), pixels.size()), static_cast<ssize_t>(pixels.size()));
    lseek(in, 0, SEEK_SET);
    Result r{};
    r.messages =
        pclxl_test::capture_stderr([&] { r.status = rastertopclxl_run(in, out, "", nullptr); });
    lseek(out, 0, SEEK_SET);
    unsigned char buf[65536];
    for (ssize_t n; (n = read(out, buf, sizeof buf)) > 0;)
        r.job.insert(r.job.end(), buf, buf + n);
    close(in);
    close(out);
    return r;
}

} // namespace

TEST(HostileRaster, ImpossiblePageSizesEndTheJobCleanly) {
    const Result good = run_filter(gray_page(), 48 * 12);
    ASSERT_EQ(good.status, 0) << good.messages;
    ASSERT_TRUE(hostile::read(good.job).ok);

    struct Case {
        const char *field;
        unsigned cups_page_header2_t::*member;
    } fields[] = {
        {"cupsWidth", &cups_page_header2_t::cupsWidth},
        {"cupsHeight", &cups_page_header2_t::cupsHeight},
        {"cupsBytesPerLine", &cups_page_header2_t::cupsBytesPerLine},
        {"cupsBitsPerPixel", &cups_page_header2_t::cupsBitsPerPixel},
        {"cupsBitsPerColor", &cups_page_header2_t::cupsBitsPerColor},
    };
    const unsigned values[] = {0u, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 65536u, 32768u};
    for (const Case &c : fields) {
        for (unsigned value : values) {
            SCOPED_TRACE(std::string(c.field) + " = " + std::to_string(value));
            cups_page_header2_t h = gray_page();
            h.*c.member = value;
            const Result r = run_filter(h, 48 * 12);
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.messages.find("ERROR: "), std::string::npos) << r.messages;
            if (!r.job.empty()) {
                const hostile::Verdict v = hostile::read(r.job);
                EXPECT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
            }
        }
    }
}

TEST(HostileRaster, OddJobSettingsStillGiveAWellFormedJob) {
    // Settings the filter may take or refuse; either way the job it wrote
    // must be well formed.
    struct Case {
        const char *field;
        void (*apply)(cups_page_header2_t &);
    } cases[] = {
        {"HWResolution 0",
         [](cups_page_header2_t &h) { h.HWResolution[0] = h.HWResolution[1] = 0; }},
        {"HWResolution huge",
         [](cups_page_header2_t &h) { h.HWResolution[0] = h.HWResolution[1] = 0xFFFFFFFFu; }},
        {"NumCopies 0", [](cups_page_header2_t &h) { h.NumCopies = 0; }},
        {"NumCopies huge", [](cups_page_header2_t &h) { h.NumCopies = 0xFFFFFFFFu; }},
        {"PageSize 0", [](cups_page_header2_t &h) { h.PageSize[0] = h.PageSize[1] = 0; }},
        {"PageSize huge",
         [](cups_page_header2_t &h) { h.PageSize[0] = h.PageSize[1] = 0xFFFFFFFFu; }},
        {"names unterminated",
         [](cups_page_header2_t &h) {
             std::memset(h.cupsPageSizeName, '"', sizeof h.cupsPageSizeName);
             std::memset(h.MediaType, '\n', sizeof h.MediaType);
             std::memset(h.MediaClass, '\r', sizeof h.MediaClass);
         }},
        {"colour space unknown", [](cups_page_header2_t &h) { set_raw(h.cupsColorSpace, 200); }},
        {"colour order unknown", [](cups_page_header2_t &h) { set_raw(h.cupsColorOrder, 77); }},
        {"duplex and tumble neither true nor false",
         [](cups_page_header2_t &h) {
             set_raw(h.Duplex, 0xF8FFu);
             set_raw(h.Tumble, 2);
             set_raw(h.Collate, 0xFFFFFFFFu);
         }},
        {"margins huge", [](cups_page_header2_t &h) { h.Margins[0] = h.Margins[1] = 0xFFFFFFFFu; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.field);
        cups_page_header2_t h = gray_page();
        c.apply(h);
        const Result r = run_filter(h, 48 * 12);
        EXPECT_TRUE(r.status == 0 || r.status == 1);
        if (r.status != 0) {
            EXPECT_NE(r.messages.find("ERROR: "), std::string::npos) << r.messages;
        }
        if (!r.job.empty()) {
            const hostile::Verdict v = hostile::read(r.job);
            EXPECT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
        }
    }
}
