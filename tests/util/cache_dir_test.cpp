// Directory helpers: mkdir -p, parents of a file, the cache directory.
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "capture.h"
#include "fs_fixture.h"

using namespace pclxl_test;

namespace {

using CacheDir = ScratchDir;

// A relative path of exactly `length` bytes: components of 200 bytes.
std::string path_of_length(char fill, std::size_t length) {
    std::string p;
    while (p.size() + 201 < length)
        p += std::string(200, fill) + "/";
    p += std::string(length - p.size(), fill);
    return p;
}

TEST_F(CacheDir, MkdirPCreatesEveryLevel) {
    write_file("plain");
    struct Case {
        std::string path;
        int rc, err;
        std::vector<std::string> dirs;
    } cases[] = {
        {"a/b/c", 0, 0, {"a", "a/b", "a/b/c"}},
        {"a/b/c", 0, 0, {"a/b/c"}}, // again: already there
        {"d//e", 0, 0, {"d", "d/e"}},
        {"t/", 0, 0, {"t"}},
        {root_ + "/abs/x", 0, 0, {"abs", "abs/x"}},
        {"plain", 0, 0, {}},  // any existing entry counts
        {"", -1, ENOENT, {}}, // the system refuses the empty name
        {"plain/sub", -1, ENOTDIR, {}},
        {path_of_length('p', 4095), 0, 0, {path_of_length('p', 4095)}},
        {path_of_length('q', 4096), -1, ENAMETOOLONG, {}},
    };
    for (const Case &c : cases) {
        errno = 0;
        std::string err =
            capture_stderr([&] { EXPECT_EQ(pb_mkdir_p(c.path.c_str(), 0755), c.rc); });
        if (c.rc != 0) {
            EXPECT_EQ(errno, c.err) << c.path.substr(0, 40);
        }
        EXPECT_EQ(err, "");
        for (const std::string &d : c.dirs) {
            EXPECT_TRUE(is_dir(d)) << d.substr(0, 40);
        }
    }
    EXPECT_FALSE(exists(std::string(200, 'q'))); // nothing made for the over-long path
    EXPECT_FALSE(is_dir("plain"));
}

TEST_F(CacheDir, MkdirForFileCreatesParentsOnly) {
    write_file("plain");
    struct Case {
        std::string path;
        int rc, err;
        std::vector<std::string> dirs, absent;
    } cases[] = {
        {"dir1/dir2/file.bin", 0, 0, {"dir1", "dir1/dir2"}, {"dir1/dir2/file.bin"}},
        {"file.bin", 0, 0, {}, {"file.bin"}},
        {"/", 0, 0, {}, {}},
        {"", 0, 0, {}, {}},
        {"plain/sub/f", -1, ENOTDIR, {}, {}},
        {path_of_length('q', 4096), -1, ENAMETOOLONG, {}, {std::string(200, 'q')}},
    };
    for (const Case &c : cases) {
        errno = 0;
        EXPECT_EQ(pb_mkdir_for_file_p(c.path.c_str(), 0755), c.rc) << c.path.substr(0, 40);
        if (c.rc != 0) {
            EXPECT_EQ(errno, c.err) << c.path.substr(0, 40);
        }
        for (const std::string &d : c.dirs) {
            EXPECT_TRUE(is_dir(d)) << d;
        }
        for (const std::string &a : c.absent) {
            EXPECT_FALSE(exists(a)) << a.substr(0, 40);
        }
    }
}

TEST_F(CacheDir, InitCacheDirCreatesOrAccepts) {
    make_dir("ready");
    std::string err = capture_stderr([] { EXPECT_EQ(pb_init_cache_dir("ready"), 0); });
    EXPECT_EQ(err, "");

    err = capture_stderr([] { EXPECT_EQ(pb_init_cache_dir("new/cache/dir"), 0); });
    EXPECT_EQ(err, "");
    struct stat st;
    ASSERT_EQ(stat("new/cache/dir", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST_F(CacheDir, InitCacheDirReportsMkdirFailure) {
    write_file("plain");
    int rc = 0;
    std::string err = capture_stderr([&] { rc = pb_init_cache_dir("plain/cache"); });
    const std::string want =
        "Fatal Error: mkdir_p(plain/cache) == -1, error=" + std::string(strerror(ENOTDIR)) + "\n";
    EXPECT_EQ(err, want);
    EXPECT_EQ(rc, static_cast<int>(want.size()));
}

// Root may read and write anything, so this runs as an unprivileged user.
TEST(CacheDirAccess, InitCacheDirReportsUnusableDirectory) {
    std::string failure = run_unprivileged([]() -> std::string {
        std::string dir = make_temp_dir();
        std::string cache = dir + "/ro";
        if (mkdir(cache.c_str(), 0555) != 0)
            return "mkdir failed";
        int rc = 0;
        std::string err = capture_stderr([&] { rc = pb_init_cache_dir(cache.c_str()); });
        std::error_code ignored;
        fs::remove_all(dir, ignored);
        const std::string want = "Fatal Error: access(cache_dir_path, (R_OK | W_OK)) == -1)"
                                 "\xEF\xBC\x8C errno=" +
                                 std::string(strerror(EACCES)) + "\n";
        if (err != want)
            return "stderr was: " + err;
        if (rc == 0)
            return "returned 0";
        return "";
    });
    EXPECT_EQ(failure, "");
}

} // namespace
