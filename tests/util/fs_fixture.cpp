#include "fs_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pclxl_test {

void ScratchDir::SetUp() {
    old_umask_ = umask(022);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    old_cwd_ = cwd;
    root_ = make_temp_dir();
    ASSERT_EQ(chdir(root_.c_str()), 0);
}

void ScratchDir::TearDown() {
    ASSERT_EQ(chdir(old_cwd_.c_str()), 0);
    remove_all(root_);
    umask(old_umask_);
}

bool exists(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool is_dir(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_link(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

void write_file(const std::string &path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    close(fd);
}

void make_dir(const std::string &path) { ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path; }

std::string make_temp_dir() {
    char tmpl[] = "/tmp/pclxl-util-XXXXXX";
    if (mkdtemp(tmpl) == nullptr)
        std::abort();
    return tmpl;
}

void remove_all(const std::string &path) {
    // Directories left without permissions by a test must be opened again.
    nftw(
        path.c_str(),
        [](const char *p, const struct stat *st, int type, struct FTW *) {
            if (type == FTW_D || type == FTW_DNR)
                chmod(p, 0700);
            (void)st;
            return 0;
        },
        64, FTW_PHYS);
    nftw(
        path.c_str(),
        [](const char *p, const struct stat *, int type, struct FTW *) {
            (type == FTW_DP) ? rmdir(p) : unlink(p);
            return 0;
        },
        64, FTW_PHYS | FTW_DEPTH);
}

std::string run_unprivileged(const std::function<std::string()> &check) {
    int pipe_fd[2];
    if (pipe(pipe_fd) != 0)
        return "pipe failed";
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        close(pipe_fd[0]);
        std::string result;
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            result = "could not drop root privileges";
        else
            result = check();
        if (write(pipe_fd[1], result.data(), result.size()) < 0)
            _exit(3);
        _exit(0);
    }
    close(pipe_fd[1]);
    std::string result;
    char buf[512];
    for (ssize_t n; (n = read(pipe_fd[0], buf, sizeof buf)) > 0;)
        result.append(buf, static_cast<size_t>(n));
    close(pipe_fd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        result += " (child ended abnormally)";
    return result;
}

} // namespace pclxl_test
