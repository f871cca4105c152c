// The raster filter against page headers with impossible sizes and odd
// settings: each ends with status 0, or 1 after an "ERROR: " line, and
// writes nothing or a well-formed job.
#include <gtest/gtest.h>

#include <cstring>

#include "job_builder.h"
#include "raster_maker.h"

namespace {

using Header = cups_page_header2_t;

Header gray_page() { return filter_test::a4_header(8, CUPS_CSPACE_SW); }

// A raw value in an enumeration field, as a hostile raster file can hold.
template <typename Field> void set_raw(Field &field, uint32_t value) {
    static_assert(sizeof field == sizeof value);
    std::memcpy(&field, &value, sizeof value);
}

// Runs the filter on one gray page's pixel bytes under the header `h`;
// returns its status, and checks what it printed and wrote.
int run_filter(const Header &h) {
    std::string input = filter_test::make_raster(
        {{gray_page(), [](unsigned y, unsigned char *row) { std::memset(row, int(y * 13), 64); }}});
    std::memcpy(&input[4], &h, sizeof h);
    const filter_test::Result r = filter_test::run_filter(input);
    if (r.status != 0) {
        EXPECT_NE(r.messages.find("ERROR: "), std::string::npos) << r.messages;
    }
    if (!r.output.empty()) {
        const dump_test::Result v = hostile::read({r.output.begin(), r.output.end()});
        EXPECT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
    }
    return r.status;
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
        Header h = gray_page();
        apply(h);
        EXPECT_LE(unsigned(run_filter(h)), 1u) << name;
    }
}
