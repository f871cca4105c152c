// The raster filter against page headers with impossible sizes and odd
// settings: each ends with status 0, or 1 after an "ERROR: " line, and
// writes nothing or a well-formed job.
#include <gtest/gtest.h>

#include <cstring>
#include <cups/raster.h>
#include <sys/mman.h>
#include <unistd.h>

#include "job_builder.h"
#include "rastertopclxl.h"

namespace {

using Header = cups_page_header2_t;

Header gray_page() {
    Header h;
    std::memset(&h, 0, sizeof h);
    h.HWResolution[0] = h.HWResolution[1] = 600;
    h.PageSize[0] = 595;
    h.PageSize[1] = 842;
    h.cupsWidth = h.cupsBytesPerLine = 48;
    h.cupsHeight = 12;
    h.cupsBitsPerColor = h.cupsBitsPerPixel = 8;
    h.cupsColorOrder = CUPS_ORDER_CHUNKED;
    h.cupsColorSpace = CUPS_CSPACE_SW;
    h.cupsNumColors = h.NumCopies = 1;
    std::strcpy(h.cupsPageSizeName, "A4");
    return h;
}

// A raw value in an enumeration field, as a hostile raster file can hold.
template <typename Field> void set_raw(Field &field, uint32_t value) {
    static_assert(sizeof field == sizeof value);
    std::memcpy(&field, &value, sizeof value);
}

// Runs the filter on one uncompressed page of 48 * 12 pixel bytes; returns
// its status, and checks what it printed and wrote.
int run_filter(const Header &h) {
    const int in = memfd_create("raster", 0), out = memfd_create("job", 0);
    cups_raster_t *writer = cupsRasterOpen(in, CUPS_RASTER_WRITE);
    Header copy = h;
    cupsRasterWriteHeader2(writer, &copy);
    cupsRasterClose(writer);
    std::string pixels(48 * 12, '\0');
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<char>(i * 13);
    EXPECT_EQ(write(in, pixels.data(), pixels.size()), static_cast<ssize_t>(pixels.size()));
    lseek(in, 0, SEEK_SET);
    int status = -1;
    const std::string messages =
        pclxl_test::capture_stderr([&] { status = rastertopclxl_run(in, out, "", nullptr); });
    if (status != 0) {
        EXPECT_NE(messages.find("ERROR: "), std::string::npos) << messages;
    }
    lseek(out, 0, SEEK_SET);
    pclxl_test::Bytes job;
    unsigned char buf[65536];
    for (ssize_t n; (n = read(out, buf, sizeof buf)) > 0;)
        job.insert(job.end(), buf, buf + n);
    close(in);
    close(out);
    if (!job.empty()) {
        const hostile::Verdict v = hostile::read(job);
        EXPECT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
    }
    return status;
}

} // namespace

TEST(HostileRaster, ImpossiblePageSizesEndTheJobCleanly) {
    ASSERT_EQ(run_filter(gray_page()), 0);
    const std::pair<const char *, unsigned Header::*> fields[] = {
        {"cupsWidth", &Header::cupsWidth},
        {"cupsHeight", &Header::cupsHeight},
        {"cupsBytesPerLine", &Header::cupsBytesPerLine},
        {"cupsBitsPerPixel", &Header::cupsBitsPerPixel},
        {"cupsBitsPerColor", &Header::cupsBitsPerColor},
    };
    // Zero, a negative number read as unsigned, the sign bit, past each limit.
    for (const auto &[name, member] : fields) {
        for (unsigned value : {0u, 0xFFFFFFFFu, 0x80000000u, 65536u, 32768u}) {
            SCOPED_TRACE(std::string(name) + " = " + std::to_string(value));
            Header h = gray_page();
            h.*member = value;
            EXPECT_EQ(run_filter(h), 1);
        }
    }
}

TEST(HostileRaster, OddJobSettingsStillGiveAWellFormedJob) {
    const std::pair<const char *, void (*)(Header &)> cases[] = {
        {"HWResolution 0", [](Header &h) { h.HWResolution[0] = h.HWResolution[1] = 0; }},
        {"NumCopies huge", [](Header &h) { h.NumCopies = 0xFFFFFFFFu; }},
        {"PageSize huge", [](Header &h) { h.PageSize[0] = h.PageSize[1] = 0xFFFFFFFFu; }},
        {"names unterminated",
         [](Header &h) {
             std::memset(h.cupsPageSizeName, '"', sizeof h.cupsPageSizeName);
             std::memset(h.MediaType, '\n', sizeof h.MediaType);
             std::memset(h.MediaClass, '\r', sizeof h.MediaClass);
         }},
        {"colour space unknown", [](Header &h) { set_raw(h.cupsColorSpace, 200); }},
        {"duplex, tumble and collate neither true nor false",
         [](Header &h) {
             set_raw(h.Duplex, 0xF8FFu);
             set_raw(h.Tumble, 2);
             set_raw(h.Collate, 0xFFFFFFFFu);
         }},
    };
    for (const auto &[name, apply] : cases) {
        SCOPED_TRACE(name);
        Header h = gray_page();
        apply(h);
        const int status = run_filter(h);
        EXPECT_TRUE(status == 0 || status == 1) << status;
    }
}
