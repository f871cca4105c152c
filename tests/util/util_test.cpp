// Directory helpers: mkdir -p, parents of a file, the cache directory, and
// pb_remove_dir, which removes the named tree and nothing outside it; and the
// library-information record as a host sees it.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
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

// A fresh directory, entered for the test (umask 022) and removed afterwards
// by the standard library, so a broken pb_remove_dir cannot hide behind its
// own cleanup.
class DirHelpers : public ::testing::Test {
  protected:
    void SetUp() override {
        old_umask_ = umask(022);
        old_cwd_ = fs::current_path();
        root_ = make_temp_dir();
        fs::current_path(root_);
    }
    void TearDown() override {
        fs::current_path(old_cwd_);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
        umask(old_umask_);
    }
    std::string root_;

  private:
    fs::path old_cwd_;
    mode_t old_umask_ = 0;
};

// Links are not followed.
bool exists(const std::string &p) { return fs::exists(fs::symlink_status(p)); }
bool is_dir(const std::string &p) { return fs::is_directory(fs::symlink_status(p)); }
void write_file(const std::string &p) { std::ofstream{p}; }
void make_dir(const std::string &p) { ASSERT_EQ(mkdir(p.c_str(), 0755), 0) << p; }

// Runs `check` in a child process that, when the tests run as root, first
// becomes an unprivileged user (root may open any directory). Failures in
// the child are printed there and fail the test here.
void run_unprivileged(const std::function<void()> &check) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        check();
        std::fflush(nullptr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}

// pb_mkdir_p makes every level; pb_mkdir_for_file_p the levels before the
// last '/', never the file itself.
TEST_F(DirHelpers, MkdirCreatesEveryLevel) {
    write_file("plain");
    std::string too_long; // 4096 bytes in components of 200
    while (too_long.size() < 4000)
        too_long += std::string(200, 'q') + "/";
    too_long.resize(4096, 'q');
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
        {false, too_long, -1, ENAMETOOLONG, {}, {std::string(200, 'q')}},
        {true, "dir1/dir2/file.bin", 0, 0, {"dir1", "dir1/dir2"}, {"dir1/dir2/file.bin"}},
        {true, "file.bin", 0, 0, {}, {"file.bin"}},
        {true, "/", 0, 0, {}, {}},
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
// error line.
TEST_F(DirHelpers, InitCacheDirCreatesOrReports) {
    make_dir("ready");
    write_file("plain");
    const struct {
        const char *path;
        std::string err;
    } cases[] = {
        {"ready", ""},
        {"new/cache/dir", ""},
        {"plain/cache",
         "Fatal Error: mkdir_p(plain/cache) == -1, error=" + std::string(strerror(ENOTDIR)) + "\n"},
    };
    for (const auto &c : cases) {
        int rc = -1;
        EXPECT_EQ(capture_stderr([&] { rc = pb_init_cache_dir(c.path); }), c.err);
        EXPECT_EQ(rc, static_cast<int>(c.err.size())) << c.path;
    }
    struct stat st;
    ASSERT_EQ(stat("new/cache/dir", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
}

int remove_quietly(const std::string &path, std::string *err = nullptr) {
    int rc = 99;
    std::string text = capture_stderr([&] { rc = pb_remove_dir(path.c_str()); });
    if (err != nullptr)
        *err = text;
    else
        EXPECT_EQ(text, "") << path;
    return rc;
}

TEST_F(DirHelpers, RemoveDirRemovesFilesAndTrees) {
    write_file("lone.txt");
    for (const char *d : {"tree", "tree/empty", "tree/a", "tree/a/b", "slash"})
        make_dir(d);
    for (const char *f : {"tree/top.txt", "tree/a/b/deep.txt", "slash/f"})
        write_file(f);
    const struct {
        const char *path, *gone;
    } cases[] = {
        {"missing", "missing"},
        {"lone.txt", "lone.txt"},
        {"tree", "tree"},
        {"slash/", "slash"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(remove_quietly(c.path), 0) << c.path;
        EXPECT_FALSE(exists(c.gone)) << c.path;
    }
}

// Links are removed as links: their targets outside the tree survive, and
// loops are never walked.
TEST_F(DirHelpers, RemoveDirNeverFollowsSymbolicLinks) {
    for (const char *d : {"outside", "tree", "tree/sub"})
        make_dir(d);
    write_file("outside/keep.txt");
    const std::string outside = root_ + "/outside";
    const std::pair<std::string, const char *> links[] = {
        {outside, "tree/to_outside"}, {"../outside/keep.txt", "tree/sub/to_file"},
        {"..", "tree/sub/up"},        {"loop_b", "tree/loop_a"},
        {"loop_a", "tree/loop_b"},    {outside, "top_link"},
        {outside, "top_link_slash"},  {"nowhere", "top_dangling"},
    };
    for (const auto &[target, link] : links)
        ASSERT_EQ(symlink(target.c_str(), link), 0) << link;
    for (const char *path : {"tree", "top_link", "top_link_slash/", "top_dangling"}) {
        EXPECT_EQ(remove_quietly(path), 0) << path;
        std::string name(path);
        if (name.back() == '/')
            name.pop_back();
        EXPECT_FALSE(exists(name)) << path;
        EXPECT_TRUE(exists("outside/keep.txt")) << path;
    }
    EXPECT_TRUE(is_dir("outside"));
}

// Paths far beyond PATH_MAX, removed while only a few descriptors may be
// open: nothing is cut short, and the walk neither recurses nor holds one
// descriptor per level.
TEST_F(DirHelpers, RemoveDirRemovesDeepTreeWithFewDescriptors) {
    const std::string name(40, 'd');
    make_dir("deep");
    int fd = open("deep", O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 300; ++i) { // 41 bytes a level: paths of over 12000 bytes
        ASSERT_GE(fd, 0);
        ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
        close(openat(fd, "f", O_WRONLY | O_CREAT, 0644));
        if (i % 50 == 0) { // a sibling directory to come back to
            ASSERT_EQ(mkdirat(fd, "side", 0755), 0);
        }
        int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    close(fd);
    int open_now = 0;
    DIR *self = opendir("/proc/self/fd");
    ASSERT_NE(self, nullptr);
    while (readdir(self) != nullptr)
        ++open_now;
    closedir(self);
    struct rlimit saved, tight;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(open_now + 24);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::string err;
    int rc = remove_quietly("deep", &err);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(err, "");
    EXPECT_FALSE(exists("deep"));
}

TEST_F(DirHelpers, RemoveDirLeavesSpecialFilesAndReportsThem) {
    make_dir("tree");
    ASSERT_EQ(mkfifo("tree/pipe", 0644), 0);
    ASSERT_EQ(mkfifo("pipe", 0644), 0);
    write_file("tree/f");
    for (const char *path : {"tree", "pipe"}) {
        std::string err;
        EXPECT_EQ(remove_quietly(path, &err), 0) << path;
        EXPECT_EQ(err.rfind("unknow file type!: ", 0), 0u) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    EXPECT_TRUE(exists("tree/pipe"));
    EXPECT_FALSE(exists("tree/f"));
    EXPECT_TRUE(exists("pipe"));
}

// An unusable cache directory is reported; a directory that cannot be
// opened is reported and skipped while the rest of the tree goes.
TEST(DirHelpersUnprivileged, ReportUnusableDirectories) {
    run_unprivileged([] {
        const std::string dir = make_temp_dir(), cache = dir + "/ro", tree = dir + "/tree",
                          locked = tree + "/locked";
        for (const std::string &d : {cache, tree, tree + "/other", locked, locked + "/inner"})
            ASSERT_EQ(mkdir(d.c_str(), d == cache ? 0555 : 0755), 0) << d;
        ASSERT_EQ(chmod(locked.c_str(), 0), 0);
        int rc = 0;
        EXPECT_EQ(capture_stderr([&] { rc = pb_init_cache_dir(cache.c_str()); }),
                  "Fatal Error: access(cache_dir_path, (R_OK | W_OK)) == -1)\xEF\xBC\x8C errno=" +
                      std::string(strerror(EACCES)) + "\n");
        EXPECT_NE(rc, 0);
        rc = 99;
        EXPECT_EQ(capture_stderr([&] { rc = pb_remove_dir(tree.c_str()); }),
                  "open directory error: " + std::string(strerror(EACCES)) + "\n");
        EXPECT_EQ(rc, 0);
        EXPECT_FALSE(exists(tree + "/other"));
        chmod(locked.c_str(), 0755);
        EXPECT_TRUE(is_dir(locked + "/inner")) << "the locked directory was entered";
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    });
}

TEST(LibraryInfo, HoldsSevenLabelledLinesInOneStaticList) {
    size_t count = 0;
    const char *const *lines = pclxl_library_info(&count);
    ASSERT_EQ(count, 7u);
    const char *labels[] = {"NAME",       "VERSION",    "BUILD_DATE",     "BUILD_TYPE",
                            "GIT_BRANCH", "GIT_COMMIT", "GIT_COMMIT_DATE"};
    std::string value[7];
    for (size_t i = 0; i < count; ++i) {
        std::string prefix = std::string("LIBRARY_INFO_") + labels[i] + ": ";
        ASSERT_EQ(std::string(lines[i]).rfind(prefix, 0), 0u) << lines[i];
        value[i] = lines[i] + prefix.size();
    }
    EXPECT_EQ(value[0], "pclxl");
    EXPECT_EQ(value[1], PCLXL_VERSION_STRING);
    EXPECT_TRUE(std::regex_match(value[2], std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
    EXPECT_EQ(value[3], PCLXL_TEST_BUILD_TYPE);
    // From a checkout the commit and its date are known; without one, no git field is.
    if (!value[5].empty())
        EXPECT_TRUE(std::regex_match(value[5], std::regex("[0-9a-f]{40}")) && !value[6].empty());
    else
        EXPECT_EQ(value[4] + value[6], "");

    EXPECT_EQ(pclxl_library_info(nullptr), lines);
}

} // namespace
