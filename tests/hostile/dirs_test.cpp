// The directory helpers at and far beyond the path length limit and through
// a symbolic link loop: they fail with errno set and at most one line, never
// hang, and removing such a path removes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "capture.h"
#include "pclxl.h"

TEST(HostileDirs, LengthLimitsAndLoops) {
    char tmpl[] = "/tmp/pclxl_hostile_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string root = tmpl, loop = root + "/loop",
                      huge = root + "/" + std::string(100000, 'h');
    ASSERT_EQ(symlink("loop", loop.c_str()), 0);
    const struct {
        std::string path;
        int err;
    } cases[] = {{huge, ENAMETOOLONG}, {loop + "/x/y", ELOOP}};
    for (const auto &c : cases) {
        for (int helper = 0; helper < 3; ++helper) {
            SCOPED_TRACE(std::to_string(c.err) + ", helper " + std::to_string(helper));
            errno = 0;
            int rc = 0;
            const std::string err = pclxl_test::capture_stderr([&] {
                switch (helper) {
                case 0: rc = pb_mkdir_p(c.path.c_str(), 0755); break;
                case 1: rc = pb_mkdir_for_file_p((c.path + "/f").c_str(), 0755); break;
                default: rc = pb_init_cache_dir(c.path.c_str()); break;
                }
            });
            EXPECT_NE(rc, 0);
            if (helper != 2) {
                EXPECT_EQ(errno, c.err);
            }
            EXPECT_LE(std::count(err.begin(), err.end(), '\n'), 1) << err;
        }
        int rc = -1;
        pclxl_test::capture_stderr([&] { rc = pb_remove_dir(c.path.c_str()); });
        EXPECT_EQ(rc, 0) << "an unreachable path counts as nothing to remove";
    }
    struct stat st;
    EXPECT_EQ(lstat(loop.c_str(), &st), 0) << "the loop itself stays";

    std::string limit = root; // 4095 bytes, in components the file system takes
    while (limit.size() < 4095)
        limit += "/" + std::string(std::min<size_t>(200, 4094 - limit.size()), 'a');
    ASSERT_EQ(limit.size(), 4095u);
    EXPECT_EQ(pclxl_test::capture_stderr([&] { EXPECT_EQ(pb_init_cache_dir(limit.c_str()), 0); }),
              "");
    EXPECT_EQ(stat(limit.c_str(), &st), 0);
    EXPECT_EQ(pb_remove_dir(limit.c_str()), 0);
    EXPECT_NE(stat(limit.c_str(), &st), 0);
    pclxl_test::capture_stderr([&] { pb_remove_dir(root.c_str()); });
}
