// Files for the tool: never on descriptors 0 to 2, so that a process
// started with one of those closed cannot write a job or an image into
// what later becomes its standard output or error.
#ifndef PCLXL_TOOL_FILE_IO_H
#define PCLXL_TOOL_FILE_IO_H

#include <cstdio>
#include <sys/types.h>

namespace pclxl_tool {

// Holds each closed standard descriptor with /dev/null, read-only for 1
// and 2 so that writing there still fails as it would on a closed one.
// Called first thing in main().
void hold_standard_descriptors();

// Moves a descriptor below 3 to 3 or above (close-on-exec); -1 stays.
int keep_above_standard(int fd);
// open(2) and fopen(3) whose descriptor is 3 or above (close-on-exec).
int open_fd(const char *path, int flags, mode_t mode = 0666);
std::FILE *open_file(const char *path, const char *mode);
// An unnamed read-write temporary file in $TMPDIR or /tmp, gone when
// closed: as a descriptor or a stream.
int temp_fd();
std::FILE *temp_file();

} // namespace pclxl_tool

#endif
