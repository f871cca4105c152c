// Directory helpers for the host's cache directory: mkdir -p, the parents of
// a file, a usable cache directory, and removal of a whole tree. They share
// nothing with the stream encoder and keep no state.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core.h"
#include "pclxl.h"

namespace {

// Paths handed to the mkdir helpers are copied into a buffer of this size
// (terminator included), so the caller's string is never modified.
constexpr std::size_t kPathBuffer = 4096;

// Creates every directory that ends at a '/' of `path` after its first byte
// (a leading '/' would name the empty path). `buf` receives the copy.
// Returns false with errno set on the first failure other than EEXIST.
bool make_parents(char (&buf)[kPathBuffer], const char *path, mode_t mode) {
    errno = 0;
    if (path == nullptr) {
        errno = EINVAL;
        return false;
    }
    std::size_t length = strnlen(path, kPathBuffer);
    if (length >= kPathBuffer) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(buf, path, length + 1);
    for (std::size_t i = 1; i < length; ++i) {
        if (buf[i] != '/')
            continue;
        buf[i] = '\0';
        int rc = mkdir(buf, mode);
        buf[i] = '/';
        if (rc != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

int mkdir_p(const char *path, mode_t mode) {
    char buf[kPathBuffer];
    if (!make_parents(buf, path, mode))
        return -1;
    // Any kind of entry already under the name counts as there.
    if (mkdir(buf, mode) != 0 && errno != EEXIST)
        return -1;
    return 0;
}

} // namespace

extern "C" {

int pb_mkdir_p(const char *path, mode_t mode) { return mkdir_p(path, mode); }

int pb_mkdir_for_file_p(const char *path, mode_t mode) {
    char buf[kPathBuffer];
    return make_parents(buf, path, mode) ? 0 : -1;
}

int pb_init_cache_dir(const char *cache_dir_path) {
    if (access(cache_dir_path, F_OK) == -1) {
        if (mkdir_p(cache_dir_path, 0755) == -1) {
            const char *why = std::strerror(errno);
            return pclxl::core::say(pclxl::core::bind(),
                                    "Fatal Error: mkdir_p(%s) == -1, error=%s\n", cache_dir_path,
                                    why);
        }
        if (access(cache_dir_path, F_OK) == -1) {
            const char *why = std::strerror(errno);
            pclxl::core::say(pclxl::core::bind(),
                             "Fatal Error: mkdir_p(%s) worked, but not exactly! error=%s\n",
                             cache_dir_path, why);
            return pclxl::core::say(pclxl::core::bind(), "%s\n", why);
        }
    }
    if (access(cache_dir_path, R_OK | W_OK) == -1) {
        // The separator after "-1)" is a full-width comma (U+FF0C).
        return pclxl::core::say(pclxl::core::bind(),
                                "Fatal Error: access(cache_dir_path, (R_OK | W_OK)) == -1)"
                                "\xEF\xBC\x8C"
                                " errno=%s\n",
                                std::strerror(errno));
    }
    return 0;
}

} // extern "C"
