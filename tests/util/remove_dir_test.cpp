// pb_remove_dir: removes the named tree and nothing outside it.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "capture.h"
#include "fs_fixture.h"

using namespace pclxl_test;

namespace {

using RemoveDir = ScratchDir;

int remove_quietly(const std::string &path, std::string *err = nullptr) {
    int rc = 99;
    std::string text = capture_stderr([&] { rc = pb_remove_dir(path.c_str()); });
    if (err != nullptr)
        *err = text;
    else
        EXPECT_EQ(text, "") << path;
    return rc;
}

TEST_F(RemoveDir, RemovesFilesAndTrees) {
    write_file("lone.txt");
    make_dir("tree");
    make_dir("tree/empty");
    make_dir("tree/a");
    make_dir("tree/a/b");
    write_file("tree/top.txt");
    write_file("tree/a/b/deep.txt");
    make_dir("slash");
    write_file("slash/f");

    struct Case {
        const char *path, *gone;
    } cases[] = {
        {"missing", "missing"}, {"", ""}, {"lone.txt", "lone.txt"}, {"tree", "tree"},
        {"slash/", "slash"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(remove_quietly(c.path), 0) << c.path;
        EXPECT_FALSE(exists(c.gone)) << c.path;
    }
}

// Links are removed as links: their targets outside the tree survive, and
// loops are never walked.
TEST_F(RemoveDir, NeverFollowsSymbolicLinks) {
    make_dir("outside");
    write_file("outside/keep.txt");
    const std::string outside = root_ + "/outside";

    make_dir("tree");
    make_dir("tree/sub");
    ASSERT_EQ(symlink(outside.c_str(), "tree/to_outside"), 0);
    ASSERT_EQ(symlink("../outside/keep.txt", "tree/sub/to_file"), 0);
    ASSERT_EQ(symlink(".", "tree/self"), 0);
    ASSERT_EQ(symlink("..", "tree/sub/up"), 0);
    ASSERT_EQ(symlink("loop_b", "tree/loop_a"), 0);
    ASSERT_EQ(symlink("loop_a", "tree/loop_b"), 0);
    ASSERT_EQ(symlink("nowhere", "tree/dangling"), 0);
    ASSERT_EQ(symlink(outside.c_str(), "top_link"), 0);
    ASSERT_EQ(symlink(outside.c_str(), "top_link_slash"), 0);
    ASSERT_EQ(symlink("loop", "loop"), 0);
    ASSERT_EQ(symlink("nowhere", "top_dangling"), 0);

    for (const char *path : {"tree", "top_link", "top_link_slash/", "loop", "top_dangling"}) {
        EXPECT_EQ(remove_quietly(path), 0) << path;
        std::string name(path);
        if (name.back() == '/')
            name.pop_back();
        EXPECT_FALSE(exists(name)) << path;
        EXPECT_TRUE(exists("outside/keep.txt")) << path;
    }
    EXPECT_TRUE(is_dir("outside"));
}

// A tree whose paths run far beyond PATH_MAX, removed while only a few
// descriptors may be open: nothing is cut short and the walk neither
// recurses nor holds one descriptor per level.
TEST_F(RemoveDir, RemovesDeepTreeWithFewDescriptors) {
    const std::string name(40, 'd');
    constexpr int depth = 300; // 41 bytes a level: paths of over 12000 bytes
    make_dir("deep");
    int fd = open("deep", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
        int file = openat(fd, "f", O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(file, 0);
        close(file);
        if (i % 50 == 0) { // a sibling directory to come back to
            ASSERT_EQ(mkdirat(fd, "side", 0755), 0);
        }
        int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    close(fd);

    int open_now = 0;
    DIR *self = opendir("/proc/self/fd");
    ASSERT_NE(self, nullptr);
    while (readdir(self) != nullptr)
        ++open_now;
    closedir(self);
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(open_now + 24);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::string err;
    int rc = remove_quietly("deep", &err);
    setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_EQ(rc, 0);
    EXPECT_EQ(err, "");
    EXPECT_FALSE(exists("deep"));
}

TEST_F(RemoveDir, LeavesSpecialFilesAndReportsThem) {
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

// A directory that cannot be opened is reported and skipped; the rest of
// the tree goes. Root may open anything, so this runs unprivileged.
TEST(RemoveDirAccess, SkipsUnopenableDirectory) {
    std::string failure = run_unprivileged([]() -> std::string {
        std::string dir = make_temp_dir();
        std::string tree = dir + "/tree";
        std::string locked = tree + "/locked";
        if (mkdir(tree.c_str(), 0755) != 0 || mkdir((tree + "/other").c_str(), 0755) != 0 ||
            mkdir(locked.c_str(), 0755) != 0 || mkdir((locked + "/inner").c_str(), 0755) != 0 ||
            chmod(locked.c_str(), 0) != 0)
            return "setup failed";
        int rc = 99;
        std::string err = capture_stderr([&] { rc = pb_remove_dir(tree.c_str()); });
        std::string result;
        if (rc != 0)
            result += "rc " + std::to_string(rc) + "; ";
        if (err != "open directory error: " + std::string(strerror(EACCES)) + "\n")
            result += "stderr was: " + err + "; ";
        if (exists(tree + "/other"))
            result += "other not removed; ";
        chmod(locked.c_str(), 0755);
        if (!is_dir(locked + "/inner"))
            result += "locked directory was entered; ";
        std::error_code ignored;
        fs::remove_all(dir, ignored);
        return result;
    });
    EXPECT_EQ(failure, "");
}

} // namespace
