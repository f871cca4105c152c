/* Compiled as C99: the public header must be usable from C. */
#include "pclxl.h"

#include <stdio.h>
#include <string.h>

static unsigned long total;

static void count_bytes(const void *buffer, unsigned int length, const void *ctx) {
    (void)buffer;
    (void)ctx;
    total += length;
}

static void drop_line(const char *line, void *user) {
    (void)line;
    (void)user;
}

int main(void) {
    static const unsigned char pixels[3] = {1, 2, 3};
    struct pclxl_job_settings settings = {0};
    unsigned char block[PCLXL_DELTA_ROW_MAX_BYTES(3)];
    pclxl_writer *writer;
    _point16 p = {1, 2};
    _rect16 r = {0, 0, 10, 10};
    pclxl_init(NULL, count_bytes);
    pclxl_add_comment("abc", 3);
    pclxl_end_job();
    (void)p;
    (void)r;
    if (total != 3 + 3 + 3 + 28 || gDataOut != count_bytes) {
        fprintf(stderr, "unexpected byte count %lu\n", total);
        return 1;
    }
    writer = pclxl_writer_new(NULL, count_bytes);
    pclxl_writer_use(writer);
    pclxl_set_message_handler(drop_line, NULL);
    settings.size = sizeof settings;
    settings.resolution = 300;
    total = 0;
    if (!pclxl_start_job_with(&settings) ||
        !pclxl_write_pixels(PCLXL_PIXELS_RGB24, pixels, 1, 1, 3, 0, 0, 1, 1) || total == 0 ||
        sizeof block != 6) {
        fprintf(stderr, "unexpected byte count %lu\n", total);
        return 1;
    }
    total = 0;
    pclxl_push_graphics_state();
    if (!pclxl_add_path_points(PCLXL_PATH_LINES_RELATIVE, pclxl_points_type(&p, 1), &p, 1) ||
        total != 1 + 4 + 4 + 1 + 2 + 2) {
        fprintf(stderr, "unexpected byte count %lu\n", total);
        return 1;
    }
    pclxl_writer_free(writer);
    return 0;
}
