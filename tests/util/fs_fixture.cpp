#include "fs_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace pclxl_test {

void ScratchDir::SetUp() {
    old_umask_ = umask(022);
    old_cwd_ = fs::current_path();
    root_ = make_temp_dir();
    fs::current_path(root_);
}

void ScratchDir::TearDown() {
    fs::current_path(old_cwd_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    umask(old_umask_);
}

std::string make_temp_dir() {
    char tmpl[] = "/tmp/pclxl-util-XXXXXX";
    if (mkdtemp(tmpl) == nullptr)
        std::abort();
    return tmpl;
}

std::string run_unprivileged(const std::function<std::string()> &check) {
    int pipe_fd[2];
    if (pipe(pipe_fd) != 0)
        return "pipe failed";
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        close(pipe_fd[0]);
        std::string result = "could not drop root privileges";
        if (geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0))
            result = check();
        _exit(write(pipe_fd[1], result.data(), result.size()) < 0 ? 3 : 0);
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
