/* A minimal libpclxl host: writes a one-page A4 job with a small R,G,B
 * gradient to a file through a writer of its own, keeps the library's
 * trace lines off stderr, then prints the file name, its size, how many
 * times the library called back and how many lines it reported.
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

static void count_line(const char *line, void *user) {
    (void)line;
    ++*(unsigned long *)user;
}

int main(int argc, char **argv) {
    enum { kWidth = 256, kHeight = 64 };
    static unsigned char rgb[kHeight][kWidth * 3];
    const char *path = argc > 1 ? argv[1] : "example.pxl";
    struct sink s = {fopen(path, "wb"), 0, 0};
    struct pclxl_job_settings job = {0};
    unsigned long lines = 0;
    pclxl_writer *writer;
    int x, y;
    if (!s.file) {
        perror(path);
        return 1;
    }
    for (y = 0; y < kHeight; ++y)
        for (x = 0; x < kWidth; ++x) {
            rgb[y][3 * x] = (unsigned char)x;
            rgb[y][3 * x + 1] = (unsigned char)(4 * y);
            rgb[y][3 * x + 2] = 128;
        }

    writer = pclxl_writer_new(&s, write_piece);
    if (!writer)
        return 1;
    pclxl_writer_use(writer);
    pclxl_set_message_handler(count_line, &lines);

    job.size = sizeof job;
    job.paper_name = "A4";
    job.media_type = "plain";
    job.media_source = "auto";
    job.color_mode = "color";
    job.duplex_mode = "simplex";
    job.copies = 1;
    job.job_name = "write_job example";
    job.resolution = 600;
    pclxl_start_job_with(&job);
    pclxl_begin_session(600, 600);
    pclxl_open_datasource();
    pclxl_begin_page(0, 0, "simplex", "A4", PCLXL_MEDIA_A4, "Plain", 0, 0, 0, 0, 0);
    pclxl_set_color_space(PCLXL_COLOR_SPACE_RGB);
    pclxl_write_pixels(PCLXL_PIXELS_RGB24, &rgb[0][0], kWidth, kHeight, kWidth * 3, 600, 600,
                       4 * kWidth, 4 * kHeight);
    pclxl_end_page(false, 1);
    pclxl_close_datasource();
    pclxl_end_session();
    pclxl_end_job();

    pclxl_writer_use(NULL);
    pclxl_writer_free(writer);
    if (fclose(s.file) != 0) {
        perror(path);
        return 1;
    }
    printf("%s: %lu bytes in %lu callback calls, %lu library lines\n", path, s.bytes, s.calls,
           lines);
    return 0;
}
