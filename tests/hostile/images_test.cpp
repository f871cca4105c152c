// Absurd image sizes and strides: pclxl_write_bitmap_data refuses every
// image the stream cannot carry, with one line naming it and nothing
// written, and never reads the host's memory for it; the largest images it
// can carry are accepted and pass the reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "job_builder.h"
#include "pclxl.h"

using pclxl_test::Capture;
using pclxl_test::capture_stderr;

TEST(HostileImages, ImagesTheStreamCannotCarryAreRefused) {
    struct Case {
        int32_t width, height, stride, bpp;
    } cases[] = {
        {4, 1, 4, 0},          {4, 1, 4, 2},
        {4, 1, 4, 16},         {4, 1, 4, -8},
        {4, 1, 4, 33},         {4, 1, 4, INT32_MAX},
        {65536, 1, 0, 1},      {4, 65536, 4, 8},
        {4, INT32_MAX, 4, 8},  {32768, 1, 32768, 8},
        {0, 1, 0, 8},          {-1, 1, 4, 8},
        {INT32_MIN, 1, 4, 8},  {10923, 1, 32769, 24},
        {10923, 1, 0, 32},     {INT32_MAX, 1, 4, 24},
        {INT32_MAX, 1, 4, 32}, {1, 1, 0, 1},
        {1, 1, -1, 1},         {1, 1, INT32_MIN, 1},
        {1, 1, 32768, 1},      {INT32_MAX, 1, INT32_MAX, 1},
    };
    // A tiny buffer: a refused image must not read it beyond its size.
    unsigned char pixels[4] = {1, 2, 3, 4};
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " stride " << c.stride
                                          << " at " << c.bpp << " bpp");
        Capture out;
        int result = -1;
        const std::string err = capture_stderr([&] {
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
    struct Case {
        int32_t width, height, stride, bpp;
    } cases[] = {
        {32767, 3, 32767, 8},   // every row a block of its own
        {10922, 2, 32766, 24},  // the widest colour rows
        {10922, 2, -43688, 32}, // bottom-up, 4 bytes a pixel
        {8, 65535, 1, 1},       // the most rows
        {65535, 2, 8192, 1},    // the widest 1-bit rows
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " stride " << c.stride
                                          << " at " << c.bpp << " bpp");
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
