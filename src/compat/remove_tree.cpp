// Removal of a file or a whole directory tree, confined to the tree.
//
// The walk works relative to directory descriptors (openat, fstatat,
// unlinkat) and never follows a symbolic link: a link inside the tree is
// removed as a link, so nothing it points to can be reached. Because no
// path is ever formed for an entry, entries of any depth and path length
// are handled in full. The walk is a loop over an explicit stack (deep trees
// cannot exhaust the call stack) and keeps at most kMaxOpenDirs directories
// open; a parent that had to be closed is reopened through ".." and checked
// to be the same directory before anything is removed from it.
//
// Plain buffers rather than std::string: member templates of the standard
// types instantiated here would become exported symbols of the library in
// unoptimised builds.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core.h"
#include "pclxl.h"

namespace {

constexpr std::size_t kMaxOpenDirs = 16;
constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Names of the subdirectories still to be entered, each ending in '\0',
// packed one after another. Names handed out stay valid while the list
// lives, also when the list is moved.
class NameList {
  public:
    NameList() = default;
    NameList(NameList &&other) noexcept { swap(other); }
    NameList &operator=(NameList &&other) noexcept {
        swap(other);
        return *this;
    }
    NameList(const NameList &) = delete;
    NameList &operator=(const NameList &) = delete;
    ~NameList() { std::free(data_); }

    // False when memory runs out; the name is then left out.
    bool add(const char *name) {
        std::size_t length = std::strlen(name) + 1;
        if (cap_ - size_ < length) {
            std::size_t cap = cap_ ? cap_ * 2 : 256;
            while (cap - size_ < length)
                cap *= 2;
            char *data = static_cast<char *>(std::realloc(data_, cap));
            if (data == nullptr)
                return false;
            data_ = data;
            cap_ = cap;
        }
        std::memcpy(data_ + size_, name, length);
        size_ += length;
        return true;
    }

    // The next name not yet taken, or nullptr.
    const char *take() {
        if (next_ >= size_)
            return nullptr;
        const char *name = data_ + next_;
        next_ += std::strlen(name) + 1;
        return name;
    }

  private:
    void swap(NameList &other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(cap_, other.cap_);
        std::swap(next_, other.next_);
    }
    char *data_ = nullptr;
    std::size_t size_ = 0, cap_ = 0, next_ = 0;
};

struct Level {
    int fd; // -1 while closed to keep the number of open descriptors bounded
    dev_t dev;
    ino_t ino;
    const char *name; // in the parent's list of subdirectories
    NameList subdirs;
};

bool same_dir(const struct stat &st, const Level &level) {
    return st.st_dev == level.dev && st.st_ino == level.ino;
}

bool is_dot_or_dotdot(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Removes the files and links of the directory open at `fd` and collects
// the names of its subdirectories, which the caller enters afterwards.
void remove_files(int fd, NameList &subdirs) {
    int list_fd = dup(fd);
    DIR *dir = list_fd < 0 ? nullptr : fdopendir(list_fd);
    if (dir == nullptr) {
        pclxl::core::say_errno(pclxl::core::bind(), "open directory error");
        if (list_fd >= 0)
            close(list_fd);
        return;
    }
    while (const struct dirent *entry = readdir(dir)) {
        const char *name = entry->d_name;
        if (is_dot_or_dotdot(name))
            continue;
        struct stat st;
        if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) // gone meanwhile: nothing to remove
                pclxl::core::say_errno(pclxl::core::bind(), "get directory stat error");
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            if (!subdirs.add(name))
                pclxl::core::say_errno(pclxl::core::bind(),
                                       "pb_remove_dir"); // out of memory: the directory stays
        } else if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
            unlinkat(fd, name, 0);
        } else {
            pclxl::core::say_errno(pclxl::core::bind(), "unknow file type!");
        }
    }
    closedir(dir);
}

void close_all(std::vector<Level> &stack) {
    for (Level &level : stack)
        if (level.fd >= 0)
            close(level.fd);
}

// Empties the directory `path` (already known to be one, with status `st`)
// and removes it.
void remove_tree(const char *path, const struct stat &st) {
    int fd = open(path, kDirFlags);
    if (fd < 0) {
        pclxl::core::say_errno(pclxl::core::bind(), "open directory error");
        return;
    }
    std::vector<Level> stack;
    stack.push_back(Level{fd, st.st_dev, st.st_ino, path, {}});
    struct stat opened;
    if (fstat(fd, &opened) != 0 || !same_dir(opened, stack.back())) {
        close(fd); // replaced since its status was read: leave it alone
        return;
    }
    remove_files(fd, stack.back().subdirs);
    std::size_t open_count = 1; // the open levels are always the deepest ones

    while (!stack.empty()) {
        if (const char *name = stack.back().subdirs.take()) {
            int child = openat(stack.back().fd, name, kDirFlags);
            if (child < 0) {
                if (errno != ENOENT)
                    pclxl::core::say_errno(
                        pclxl::core::bind(),
                        "open directory error"); // skipped, and so is its parent's rmdir
                continue;
            }
            struct stat child_st;
            if (fstat(child, &child_st) != 0) {
                pclxl::core::say_errno(pclxl::core::bind(), "get directory stat error");
                close(child);
                continue;
            }
            if (open_count == kMaxOpenDirs) {
                Level &shallowest = stack[stack.size() - open_count];
                close(shallowest.fd);
                shallowest.fd = -1;
                --open_count;
            }
            stack.push_back(Level{child, child_st.st_dev, child_st.st_ino, name, {}});
            ++open_count;
            remove_files(child, stack.back().subdirs);
            continue;
        }

        // Every entry of the deepest level has been dealt with: remove it
        // from its parent, reopening the parent if it had been closed.
        Level &done = stack.back();
        if (stack.size() == 1) {
            close(done.fd);
            stack.pop_back();
            rmdir(path);
            return;
        }
        Level &parent = stack[stack.size() - 2];
        if (parent.fd < 0) {
            int up = openat(done.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct stat up_st;
            bool ok = up >= 0 && fstat(up, &up_st) == 0;
            if (ok && !same_dir(up_st, parent)) {
                ok = false;
                errno = ESTALE;
            }
            if (!ok) {
                // The tree was moved while it was being removed; whatever
                // ".." is now may lie outside it.
                pclxl::core::say_errno(pclxl::core::bind(), "directory moved during removal");
                if (up >= 0)
                    close(up);
                close_all(stack);
                return;
            }
            parent.fd = up;
            ++open_count;
        }
        close(done.fd);
        --open_count;
        unlinkat(parent.fd, done.name, AT_REMOVEDIR);
        stack.pop_back();
    }
}

} // namespace

extern "C" int pb_remove_dir(const char *path) {
    if (path == nullptr)
        return 0;
    // A trailing slash would make the system resolve a final symbolic link;
    // without it the link itself is what gets removed.
    std::size_t length = std::strlen(path);
    while (length > 1 && path[length - 1] == '/')
        --length;
    char *p = strndup(path, length);
    if (p == nullptr) {
        pclxl::core::say_errno(pclxl::core::bind(), "pb_remove_dir");
        return -1;
    }

    int rc = 0;
    struct stat st;
    if (access(p, F_OK) != 0 && fstatat(AT_FDCWD, p, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        // nothing there (a dangling link is still removed below)
    } else if (fstatat(AT_FDCWD, p, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        pclxl::core::say_errno(pclxl::core::bind(), "get directory stat error");
        rc = -1;
    } else if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
        remove(p);
    } else if (S_ISDIR(st.st_mode)) {
        try {
            remove_tree(p, st);
        } catch (...) { // out of memory for the directory stack: what is left stays
            errno = ENOMEM;
            pclxl::core::say_errno(pclxl::core::bind(), "pb_remove_dir");
            rc = -1;
        }
    } else {
        pclxl::core::say_errno(pclxl::core::bind(), "unknow file type!");
    }
    std::free(p);
    return rc;
}
