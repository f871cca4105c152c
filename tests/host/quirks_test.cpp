// The per-model quirks file: patterns, rows in order, bad lines, and what a
// row does to a job.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "quirks.h"

namespace {

using pclxl_host::apply_quirks;
using pclxl_host::Job;
using pclxl_host::parse_quirks;
using pclxl_host::quirks_for;

const char kTable[] = "# comment\n"
                      "[*]\n"
                      "max-dash-entries = 20   # trailing comment\n"
                      "trays = auto:1 mpf_tray:3\n"
                      "[Acme Laser ?00*]\n"
                      "max-resolution = 600\n"
                      "media-types = plain, Labels\n"
                      "[acme laser 500 color]\n"
                      "trays = auto:1 mpf_tray:2\n"
                      "pjl-unsupported = USTATUS, INFO CONFIG\n"
                      "jpeg = no\n";

TEST(Quirks, PatternsPickRowsInFileOrder) {
    const auto table = parse_quirks(kTable);
    ASSERT_TRUE(table.errors.empty());
    const struct {
        const char *model;
        const char *rows;
        int max_resolution, mpf_tray;
        bool jpeg;
    } cases[] = {
        {"Other Printer", "rows [*]", 0, 3, true},
        {"Acme Laser 500", "rows [*] [Acme Laser ?00*]", 600, 3, true},
        {"ACME LASER 500 COLOR", "rows [*] [Acme Laser ?00*] [acme laser 500 color]", 600, 2,
         false},
        {"Acme Laser 50", "rows [*]", 0, 3, true},
        {"", "rows [*]", 0, 3, true},
    };
    for (const auto &c : cases) {
        const auto q = quirks_for(table, c.model);
        EXPECT_EQ(q.describe().substr(0, std::string(c.rows).size()), c.rows) << c.model;
        EXPECT_EQ(q.max_resolution, c.max_resolution) << c.model;
        EXPECT_EQ(q.media_source("MPF_TRAY", 9), c.mpf_tray) << c.model;
        EXPECT_EQ(q.media_source("tray_2", 7), 7) << c.model;
        EXPECT_EQ(q.jpeg, c.jpeg) << c.model;
        EXPECT_EQ(q.max_dash_entries, 20) << c.model;
    }
    const auto q = quirks_for(table, "Acme Laser 500 Color");
    EXPECT_FALSE(q.pjl_supported("USTATUS DEVICE=ON"));
    EXPECT_FALSE(q.pjl_supported("info config"));
    EXPECT_TRUE(q.pjl_supported("INFO CONFIGURATION"));
    EXPECT_TRUE(q.pjl_supported("INFO ID"));
}

TEST(Quirks, BadLinesAreNamedAndSkipped) {
    const struct {
        const char *text;
        const char *error; // "" for none
    } cases[] = {
        {"max-resolution = 600\n", "line 1: a value before any [pattern]"},
        {"[*]\n[Acme\nmax-resolution = 600\n", "line 2: a pattern needs [ and ]"},
        {"[*]\nmax-resolution 600\n", "line 2: not name = value"},
        {"[*]\nmax-resolution = lots\n", "line 2: max-resolution = lots is not known"},
        {"[*]\ncolour = yes\n", "line 2: colour = yes is not known"},
        {"[*]\ntrays = auto:1 manual\n", "line 2: trays = auto:1 manual is not known"},
        {"[*]\njpeg = maybe\n", "line 2: jpeg = maybe is not known"},
        {"[*]\n\n  # nothing\njpeg = off\n", ""},
    };
    for (const auto &c : cases) {
        const auto table = parse_quirks(c.text);
        if (!*c.error) {
            EXPECT_TRUE(table.errors.empty()) << c.text;
            continue;
        }
        ASSERT_EQ(table.errors.size(), 1u) << c.text;
        EXPECT_EQ(table.errors[0], c.error);
        // A bad line leaves the row's other values alone.
        EXPECT_EQ(quirks_for(table, "x").max_resolution, 0) << c.text;
    }
}

TEST(Quirks, AJobGetsWhatTheModelTakes) {
    const auto q = quirks_for(parse_quirks(kTable), "Acme Laser 500");
    const struct {
        int resolution;
        const char *media_type;
        int want_resolution;
        const char *want_media_type;
    } cases[] = {
        {1200, "plain", 600, "plain"},
        {600, "labels", 600, "labels"},
        {300, "film", 300, ""}, // not in the model's list: the printer's default
    };
    for (const auto &c : cases) {
        Job job;
        job.resolution = c.resolution;
        job.media_type = pclxl_host::find_media_type(c.media_type);
        apply_quirks(q, job);
        EXPECT_EQ(job.resolution, c.want_resolution) << c.resolution;
        EXPECT_STREQ(job.media_type_name(), c.want_media_type) << c.media_type;
    }
}

TEST(Quirks, TheShippedFileReadsCleanly) {
    std::ifstream in(std::string(PCLXL_SOURCE_DIR) + "/host/quirks.conf");
    ASSERT_TRUE(in);
    std::ostringstream text;
    text << in.rdbuf();
    const auto table = parse_quirks(text.str());
    EXPECT_TRUE(table.errors.empty()) << table.errors.front();
    const auto q = quirks_for(table, "Generic PCL XL Laser 600");
    EXPECT_FALSE(q.rle_end_marker);
    EXPECT_EQ(q.max_dash_entries, 20);
    EXPECT_EQ(q.max_resolution, 600);
}

} // namespace
