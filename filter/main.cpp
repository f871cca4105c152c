// rastertopclxl: CUPS filter from CUPS raster to a PJL + PCL XL job.
//
//   rastertopclxl job-id user title copies options [file]
//
// Reads the raster from `file` or standard input and writes the job to
// standard output. Copies come from the raster (the PPD lets the printer
// make them); collation from the job's options.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "cancel.h"
#include "rastertopclxl.h"
#include "text_line.h"

namespace {

volatile sig_atomic_t g_cancel = 0;

void on_sigterm(int) { g_cancel = 1; }

} // namespace

int main(int argc, char **argv) {
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
        return 1;
    }
    // A closed standard descriptor is held with /dev/null, read-only so
    // that writing there still fails: the raster file can then never
    // become the job's output or the message stream.
    for (int std_fd = 0; std_fd <= 2; ++std_fd)
        if (fcntl(std_fd, F_GETFD) < 0 && errno == EBADF && open("/dev/null", O_RDONLY) < 0)
            return 1;
    int fd = 0;
    if (argc == 7) {
        fd = open(argv[6], O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(stderr, "ERROR: Unable to open raster file \"%s\": %s\n",
                         pclxl_host::one_line(argv[6], 200).c_str(), std::strerror(errno));
            return 1;
        }
    }

    catch_cancel(on_sigterm);

    int status = rastertopclxl_run_job(fd, 1, argv[5], argv[3], argv[2], &g_cancel);
    if (fd != 0)
        close(fd);
    return status;
}
