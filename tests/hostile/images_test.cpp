// Absurd image sizes and strides are refused with one line and nothing
// written, without reading the host's memory; the largest images the
// stream can carry are accepted and pass the reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "job_builder.h"
#include "pclxl.h"

namespace {
struct Image {
    int32_t width, height, stride, bpp;
};
std::ostream &operator<<(std::ostream &os, const Image &c) {
    return os << c.width << "x" << c.height << " stride " << c.stride << " at " << c.bpp << " bpp";
}
} // namespace

TEST(HostileImages, ImagesTheStreamCannotCarryAreRefused) {
    const Image cases[] = {
        {4, 1, 4, -8},         {4, 1, 4, 33},         {4, 1, 4, INT32_MAX},
        {4, INT32_MAX, 4, 8},  {-1, 1, 4, 8},         {INT32_MIN, 1, 4, 8},
        {INT32_MAX, 1, 4, 24}, {INT32_MAX, 1, 4, 32}, {1, 1, INT32_MIN, 1},
        {1, 1, 32768, 1},      {10923, 1, 0, 32},     {INT32_MAX, 1, INT32_MAX, 1},
    };
    unsigned char pixels[4] = {1, 2, 3, 4}; // read past its end only by a fault
    for (const Image &c : cases) {
        SCOPED_TRACE(::testing::Message() << c);
        pclxl_test::Capture out;
        int result = -1;
        const std::string err = pclxl_test::capture_stderr([&] {
            result =
                pclxl_write_bitmap_data(0, pixels, c.width, c.height, c.stride, c.bpp, 0, 0, 1, 1);
        });
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(out.pieces().empty());
        EXPECT_EQ(err.rfind("pclxl_write_bitmap_data(): ", 0), 0u) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

TEST(HostileImages, LargestImagesPassTheReader) {
    const Image cases[] = {
        {32767, 3, 32767, 8},   // every row a block of its own
        {10922, 2, 32766, 24},  // the widest colour rows
        {10922, 2, -43688, 32}, // bottom-up, 4 bytes a pixel
        {8, 65535, 1, 1},       // the most rows
        {65535, 2, 8192, 1},    // the widest 1-bit rows
    };
    for (const Image &c : cases) {
        SCOPED_TRACE(::testing::Message() << c);
        const size_t step = static_cast<size_t>(std::abs(c.stride));
        std::vector<unsigned char> pixels(step * static_cast<size_t>(c.height));
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<unsigned char>(i * 31 + i / 977);
        unsigned char *first = c.stride < 0 ? &pixels[step * (c.height - 1)] : pixels.data();
        int result = 0;
        const pclxl_test::Bytes job = hostile::build_job([&] {
            if (c.bpp == 1)
                pclxl_set_color_space_with_palette(1, 0xFFFFFF, 0);
            else
                pclxl_set_color_space(c.bpp == 8 ? 1 : 2);
            result = pclxl_write_bitmap_data(c.bpp == 1 ? 1 : 0, first, c.width, c.height, c.stride,
                                             c.bpp, 0, 0, 100, 100);
        });
        EXPECT_EQ(result, 1);
        const hostile::Verdict v = hostile::read(job);
        EXPECT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
    }
}
