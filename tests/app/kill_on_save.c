/* Loaded into the printer application's server by the fault tests: once
 * the file named by PCLXL_TEST_KILL_ON_SAVE exists, the next opening of a
 * state file for writing kills the process on the spot, as a power cut or
 * SIGKILL in the middle of a save would. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <stdarg.h>
#include <string.h>
#include <unistd.h>

static void maybe_die(const char *path, int flags) {
    const char *armed = getenv("PCLXL_TEST_KILL_ON_SAVE");
    if (armed && (flags & (O_WRONLY | O_RDWR)) && strstr(path, ".state") &&
        access(armed, F_OK) == 0)
        raise(SIGKILL);
}

#define OPEN_WRAPPER(NAME)                                                                         \
    int NAME(const char *path, int flags, ...) {                                                   \
        static int (*next)(const char *, int, ...);                                                \
        va_list ap;                                                                                \
        va_start(ap, flags);                                                                       \
        const mode_t mode = (flags & O_CREAT) ? va_arg(ap, mode_t) : 0;                            \
        va_end(ap);                                                                                \
        if (!next)                                                                                 \
            next = (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, #NAME);                       \
        const int fd = next(path, flags, mode);                                                    \
        if (fd >= 0)                                                                               \
            maybe_die(path, flags);                                                                \
        return fd;                                                                                 \
    }

OPEN_WRAPPER(open)
OPEN_WRAPPER(open64)
