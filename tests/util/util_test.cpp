// Directory helpers: mkdir -p, parents of a file, the cache directory, and
// pb_remove_dir, which removes the named tree and nothing outside it; and the
// library-information record as a host sees it.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "capture.h"

using namespace pclxl_test;
namespace fs = std::filesystem;

namespace {

std::string make_temp_dir() {
    char tmpl[] = "/tmp/pclxl-util-XXXXXX";
    if (mkdtemp(tmpl) == nullptr)
        std::abort();
    return tmpl;
}

// A fresh directory, entered for the test and removed afterwards by the
// standard library, so a broken pb_remove_dir cannot hide behind its own
// cleanup. It holds a file "plain".
class DirHelpers : public ::testing::Test {
  protected:
    void SetUp() override {
        umask(022);
        fs::current_path(root_);
        std::ofstream{"plain"};
    }
    void TearDown() override {
        fs::current_path("/");
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    const std::string root_ = make_temp_dir();
};

// Links are not followed.
bool exists(const std::string &p) { return fs::exists(fs::symlink_status(p)); }
bool is_dir(const std::string &p) { return fs::is_directory(fs::symlink_status(p)); }
void make_dir(const std::string &p) { ASSERT_EQ(mkdir(p.c_str(), 0755), 0) << p; }

// pb_mkdir_p makes every level; pb_mkdir_for_file_p the levels before the
// last '/', never the file itself. Both fail with errno set, at the length
// limit too.
TEST_F(DirHelpers, MkdirCreatesEveryLevel) {
    std::string too_long; // 4096 bytes in components of 200
    while (too_long.size() < 4000)
        too_long += std::string(200, 'q') + "/";
    too_long.resize(4096, 'q');
    const std::string at_limit = too_long.substr(0, 4095), first(200, 'q');
    const struct {
        bool for_file;
        std::string path;
        int rc, err;
        std::vector<std::string> dirs, absent;
    } cases[] = {
        {false, "a/b/c", 0, 0, {"a", "a/b", "a/b/c"}, {}},
        {false, "a/b/c", 0, 0, {"a/b/c"}, {}}, // again: already there
        {false, "d//e", 0, 0, {"d", "d/e"}, {}},
        {false, "plain", 0, 0, {}, {}},  // any existing entry counts
        {false, "", -1, ENOENT, {}, {}}, // the system refuses the empty name
        {false, "plain/sub", -1, ENOTDIR, {}, {}},
        {false, too_long, -1, ENAMETOOLONG, {}, {first}},
        {true, "dir1/dir2/file.bin", 0, 0, {"dir1", "dir1/dir2"}, {"dir1/dir2/file.bin"}},
        {true, "file.bin", 0, 0, {}, {"file.bin"}},
        {true, "/", 0, 0, {}, {}},
        {false, at_limit, 0, 0, {at_limit}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.substr(0, 40));
        errno = 0;
        int rc = 99;
        EXPECT_EQ(capture_stderr([&] {
                      rc = c.for_file ? pb_mkdir_for_file_p(c.path.c_str(), 0755)
                                      : pb_mkdir_p(c.path.c_str(), 0755);
                  }),
                  "");
        EXPECT_EQ(rc, c.rc);
        if (c.rc != 0) {
            EXPECT_EQ(errno, c.err);
        }
        for (const std::string &d : c.dirs)
            EXPECT_TRUE(is_dir(d)) << d.substr(0, 40);
        for (const std::string &a : c.absent)
            EXPECT_FALSE(exists(a)) << a.substr(0, 40);
    }
    EXPECT_FALSE(is_dir("plain"));
}

// 0 when the directory is there or made; otherwise the length of the
// error line, which holds the whole path however long.
TEST_F(DirHelpers, InitCacheDirCreatesOrReports) {
    make_dir("ready");
    const std::string huge(100000, 'h');
    auto fatal = [](const std::string &path, int err) {
        return "Fatal Error: mkdir_p(" + path + ") == -1, error=" + strerror(err) + "\n";
    };
    const std::pair<std::string, std::string> cases[] = {
        {"ready", ""},
        {"new/cache/dir", ""},
        {"plain/cache", fatal("plain/cache", ENOTDIR)},
        {huge, fatal(huge, ENAMETOOLONG)},
    };
    for (const auto &[path, err] : cases) {
        int rc = -1;
        EXPECT_EQ(capture_stderr([&] { rc = pb_init_cache_dir(path.c_str()); }), err);
        EXPECT_EQ(rc, static_cast<int>(err.size())) << path.substr(0, 40);
    }
    struct stat st;
    ASSERT_EQ(stat("new/cache/dir", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
}

int remove_dir(const std::string &path, std::string &err) {
    int rc = 99;
    err = capture_stderr([&] { rc = pb_remove_dir(path.c_str()); });
    return rc;
}

// Files, trees and links go; links go as links, so their targets outside
// the tree survive and loops are never walked. Special files stay, each
// reported in one line; what is missing counts as removed.
TEST_F(DirHelpers, RemoveDirRemovesTheNamedTreeOnly) {
    for (const char *d :
         {"outside", "tree", "tree/empty", "tree/a", "tree/a/b", "tree/sub", "slash", "special"})
        make_dir(d);
    for (const char *f :
         {"lone.txt", "outside/keep.txt", "tree/a/b/deep.txt", "slash/f", "special/f"})
        std::ofstream{f};
    for (const char *fifo : {"special/pipe", "pipe"})
        ASSERT_EQ(mkfifo(fifo, 0644), 0);
    const std::string outside = root_ + "/outside";
    const std::pair<std::string, const char *> links[] = {
        {outside, "tree/to_outside"}, {"../outside/keep.txt", "tree/sub/to_file"},
        {"..", "tree/sub/up"},        {"loop_b", "tree/loop_a"},
        {"loop_a", "tree/loop_b"},    {outside, "top_link"},
        {outside, "top_link_slash"},  {"nowhere", "top_dangling"},
    };
    for (const auto &[target, link] : links)
        ASSERT_EQ(symlink(target.c_str(), link), 0) << link;
    for (const std::string path : {"missing", "lone.txt", "tree", "slash/", "top_link",
                                   "top_link_slash/", "top_dangling", "special", "pipe"}) {
        SCOPED_TRACE(path);
        std::string err;
        EXPECT_EQ(remove_dir(path, err), 0);
        if (path == "special" || path == "pipe") {
            EXPECT_EQ(err.rfind("unknow file type!: ", 0), 0u) << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        } else {
            EXPECT_EQ(err, "");
            EXPECT_FALSE(exists(path.substr(0, path.find('/'))));
        }
        EXPECT_TRUE(exists("outside/keep.txt"));
    }
    EXPECT_FALSE(exists("special/f"));
    EXPECT_TRUE(is_dir("outside"));
    EXPECT_TRUE(exists("special/pipe"));
    EXPECT_TRUE(exists("pipe"));
}

// Paths far beyond PATH_MAX, removed while only a few descriptors may be
// open: nothing is cut short, and the walk neither recurses nor holds one
// descriptor per level.
TEST_F(DirHelpers, RemoveDirRemovesDeepTreeWithFewDescriptors) {
    const std::string name(40, 'd');
    make_dir("deep");
    ASSERT_EQ(chdir("deep"), 0);
    for (int i = 0; i < 300; ++i) { // 41 bytes a level: paths of over 12000 bytes
        make_dir(name);
        std::ofstream{"f"};
        if (i % 50 == 0) // a sibling directory to come back to
            make_dir("side");
        ASSERT_EQ(chdir(name.c_str()), 0);
    }
    fs::current_path(root_);
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const struct rlimit tight = {64, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::string err;
    int rc = remove_dir("deep", err);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(err, "");
    EXPECT_FALSE(exists("deep"));
}

// An unusable cache directory is reported; a directory that cannot be
// opened is reported and skipped while the rest of the tree goes. Run in a
// child that, when the tests run as root, first becomes an unprivileged
// user (root may open any directory).
TEST(DirHelpersUnprivileged, ReportUnusableDirectories) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        const std::string dir = make_temp_dir(), cache = dir + "/ro", tree = dir + "/tree",
                          locked = tree + "/locked";
        for (const std::string &d : {cache, tree, tree + "/other", locked, locked + "/inner"})
            EXPECT_EQ(mkdir(d.c_str(), d == cache ? 0555 : 0755), 0) << d;
        chmod(locked.c_str(), 0);
        int rc = 0;
        EXPECT_EQ(capture_stderr([&] { rc = pb_init_cache_dir(cache.c_str()); }),
                  "Fatal Error: access(cache_dir_path, (R_OK | W_OK)) == -1)\xEF\xBC\x8C errno=" +
                      std::string(strerror(EACCES)) + "\n");
        EXPECT_NE(rc, 0);
        EXPECT_EQ(capture_stderr([&] { rc = pb_remove_dir(tree.c_str()); }),
                  "open directory error: " + std::string(strerror(EACCES)) + "\n");
        EXPECT_EQ(rc, 0);
        EXPECT_FALSE(exists(tree + "/other"));
        chmod(locked.c_str(), 0755);
        EXPECT_TRUE(is_dir(locked + "/inner")) << "the locked directory was entered";
        std::error_code ignored;
        fs::remove_all(dir, ignored);
        std::fflush(nullptr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}

TEST(LibraryInfo, HoldsSevenLabelledLinesInOneStaticList) {
    size_t count = 0;
    const char *const *lines = pclxl_library_info(&count);
    ASSERT_EQ(count, 7u);
    std::string all;
    for (size_t i = 0; i < count; ++i)
        all += std::string(lines[i]) + "\n";
    // From a checkout the commit and its date are known; without one, no git field is.
    const std::regex expected(
        "LIBRARY_INFO_NAME: pclxl\nLIBRARY_INFO_VERSION: " +
        std::regex_replace(PCLXL_VERSION_STRING, std::regex("\\."), "\\.") +
        "\nLIBRARY_INFO_BUILD_DATE: \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\n"
        "LIBRARY_INFO_BUILD_TYPE: " PCLXL_TEST_BUILD_TYPE "\nLIBRARY_INFO_GIT_BRANCH: "
        "(.*\nLIBRARY_INFO_GIT_COMMIT: [0-9a-f]{40}\nLIBRARY_INFO_GIT_COMMIT_DATE: .+"
        "|\nLIBRARY_INFO_GIT_COMMIT: \nLIBRARY_INFO_GIT_COMMIT_DATE: )\n");
    EXPECT_TRUE(std::regex_match(all, expected)) << all;
    EXPECT_EQ(pclxl_library_info(nullptr), lines);
}

} // namespace
