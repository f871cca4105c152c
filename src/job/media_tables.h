// Constant name tables from the host's paper, media-type and tray names to
// the PJL and PCL XL words, and the printable paper sizes at 600 dpi.
#ifndef PCLXL_JOB_MEDIA_TABLES_H
#define PCLXL_JOB_MEDIA_TABLES_H

#include <cstddef>
#include <cstdint>

namespace pclxl {

struct NameEntry {
    const char *key;
    const char *value;
};

// A table of rows sorted by key in byte order (as strcmp orders them).
struct NameTable {
    const NameEntry *rows;
    size_t count;
};

extern const NameTable pjl_paper_map;
extern const NameTable pjl_media_type_map;
extern const NameTable pclxl_media_type_map;
extern const NameTable pjl_media_source_map;

// The value for `key` (exact, case-sensitive match), or nullptr.
const char *lookup(const NameTable &table, const char *key);

struct paper_size {
    int32_t width;
    int32_t height;
};

// The printable size of a paper at 600 dpi, or nullptr.
const paper_size *lookup_paper_pixels(const char *name);

} // namespace pclxl

#endif
