// The directory helpers at and beyond the path length limit, and on paths
// that run through symbolic link loops: they fail with errno set (and at
// most their one line), never hang, and never create or remove anything
// outside the tree they were given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "capture.h"
#include "pclxl.h"

namespace {

class HostileDirs : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/pclxl_hostile_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
    }
    void TearDown() override {
        pclxl_test::capture_stderr([&] { pb_remove_dir(root_.c_str()); });
    }
    // An absolute path of exactly `length` bytes under the root, made of
    // components short enough for the file system.
    std::string path_of_length(size_t length, char fill) const {
        std::string p = root_;
        while (p.size() + 1 < length) {
            p += '/';
            p += std::string(std::min<size_t>(200, length - p.size()), fill);
        }
        p.resize(length, fill);
        return p;
    }
    bool exists(const std::string &p) const {
        struct stat st;
        return lstat(p.c_str(), &st) == 0;
    }
    std::string root_;
};

} // namespace

TEST_F(HostileDirs, LengthLimitsAndLoops) {
    const std::string loop = root_ + "/loop";
    ASSERT_EQ(symlink("loop", loop.c_str()), 0);
    const std::string huge(100000, 'h');
    struct Case {
        const char *what;
        std::string path;
        int err; // 0: must succeed
    } cases[] = {
        {"at the limit", path_of_length(4095, 'a'), 0},
        {"one beyond", path_of_length(4096, 'b'), ENAMETOOLONG},
        {"far beyond", root_ + "/" + huge, ENAMETOOLONG},
        {"through a loop", loop + "/x/y", ELOOP},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (int helper = 0; helper < 3; ++helper) {
            SCOPED_TRACE("helper " + std::to_string(helper));
            errno = 0;
            int rc = 0;
            const std::string err = pclxl_test::capture_stderr([&] {
                switch (helper) {
                case 0: rc = pb_mkdir_p(c.path.c_str(), 0755); break;
                case 1: rc = pb_mkdir_for_file_p((c.path + "/f").c_str(), 0755); break;
                default: rc = pb_init_cache_dir(c.path.c_str()); break;
                }
            });
            if (c.err == 0 && helper != 1) {
                EXPECT_EQ(rc, 0) << err;
                EXPECT_TRUE(exists(c.path));
            } else if (c.err != 0) {
                EXPECT_NE(rc, 0);
                if (helper != 2) {
                    EXPECT_EQ(errno, c.err);
                }
                EXPECT_LE(std::count(err.begin(), err.end(), '\n'), 1) << err;
            }
        }
    }
    // Paths that cannot be reached count as nothing to remove; the loop
    // itself stays.
    for (const std::string &p : {path_of_length(4096, 'b'), root_ + "/" + huge, loop + "/x"}) {
        int rc = 0;
        pclxl_test::capture_stderr([&] { rc = pb_remove_dir(p.c_str()); });
        EXPECT_EQ(rc, 0) << p.substr(0, 60);
    }
    EXPECT_TRUE(exists(loop));
    EXPECT_EQ(pb_remove_dir(path_of_length(4095, 'a').c_str()), 0);
    EXPECT_FALSE(exists(path_of_length(4095, 'a')));
}
