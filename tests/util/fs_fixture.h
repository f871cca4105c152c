// Test support for the directory helpers: a scratch directory that is the
// working directory for one test, small file-system shortcuts, and a way to
// run a check without root's right to open any directory.
#ifndef PCLXL_TESTS_UTIL_FS_FIXTURE_H
#define PCLXL_TESTS_UTIL_FS_FIXTURE_H

#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace pclxl_test {

// Makes a fresh directory under /tmp and changes into it; on the way out
// changes back and removes it (with rm -rf semantics of its own, so a
// broken pb_remove_dir cannot hide behind its own cleanup).
class ScratchDir : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string root_;

  private:
    std::string old_cwd_;
    mode_t old_umask_ = 0;
};

bool exists(const std::string &path); // anything, links not followed
bool is_dir(const std::string &path); // a directory, links not followed
bool is_link(const std::string &path);
void write_file(const std::string &path); // creates an empty file
void make_dir(const std::string &path);   // one level, mode 0755
std::string make_temp_dir();              // under /tmp
void remove_all(const std::string &path); // independent test cleanup

// Runs `check` in a child process; when the tests run as root, the child
// first becomes an unprivileged user. `check` returns "" on success or a
// description of the failure, which is returned here.
std::string run_unprivileged(const std::function<std::string()> &check);

} // namespace pclxl_test

#endif
