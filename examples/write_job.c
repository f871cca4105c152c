/* A minimal libpclxl host: writes a one-page A4 job to a file, then prints
 * the file name, its size and how many times the library called back.
 *
 *   write_job [OUTPUT]        (default: example.pxl)
 */
#include <stdio.h>

#include "pclxl.h"

struct sink {
    FILE *file;
    unsigned long calls;
    unsigned long bytes;
};

static void write_piece(const void *buffer, unsigned int length, const void *context) {
    struct sink *s = (struct sink *)context;
    fwrite(buffer, 1, length, s->file);
    s->calls++;
    s->bytes += length;
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "example.pxl";
    struct sink s = {fopen(path, "wb"), 0, 0};
    if (!s.file) {
        perror(path);
        return 1;
    }
    pclxl_init(&s, write_piece);
    pclxl_start_job_new("A4", "plain", "auto", "color", false, "simplex", 1);
    pclxl_begin_session(600, 600);
    pclxl_open_datasource();
    pclxl_begin_page(0, 0, "simplex", "A4", 2 /* eA4Paper */, "Plain", 0, 0, 0, 0, 0);
    pclxl_end_page(false, 1);
    pclxl_close_datasource();
    pclxl_end_session();
    pclxl_end_job();
    if (fclose(s.file) != 0) {
        perror(path);
        return 1;
    }
    printf("%s: %lu bytes in %lu callback calls\n", path, s.bytes, s.calls);
    return 0;
}
