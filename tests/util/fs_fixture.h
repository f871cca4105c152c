// Test support for the directory helpers: a scratch directory that is the
// working directory of one test, and a way to run a check without root's
// right to open any directory.
#ifndef PCLXL_TESTS_UTIL_FS_FIXTURE_H
#define PCLXL_TESTS_UTIL_FS_FIXTURE_H

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace pclxl_test {

namespace fs = std::filesystem;

// A fresh directory under /tmp, entered for the test (umask 022) and
// removed afterwards by the standard library, so a broken pb_remove_dir
// cannot hide behind its own cleanup.
class ScratchDir : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string root_;

  private:
    fs::path old_cwd_;
    mode_t old_umask_ = 0;
};

std::string make_temp_dir();

// Links are not followed.
inline bool exists(const std::string &p) { return fs::exists(fs::symlink_status(p)); }
inline bool is_dir(const std::string &p) { return fs::is_directory(fs::symlink_status(p)); }
inline void write_file(const std::string &p) { std::ofstream{p}; }
inline void make_dir(const std::string &p) { ASSERT_EQ(mkdir(p.c_str(), 0755), 0) << p; }

// Runs `check` in a child process; when the tests run as root, the child
// first becomes an unprivileged user. `check` returns "" on success or a
// description of the failure, which is returned here.
std::string run_unprivileged(const std::function<std::string()> &check);

} // namespace pclxl_test

#endif
