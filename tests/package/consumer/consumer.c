/* Writes a one-page job into memory through the installed library (and the
 * C++ header's encoders, in encoders.cpp) and checks that it is framed as a
 * job: PJL header first, trailer last. */
#include <pclxl.h>
#include <stdio.h>
#include <string.h>

static char job[4096];
static size_t job_length;

static void collect(const void *data, unsigned int length, const void *context) {
    (void)context;
    if (job_length + length <= sizeof job)
        memcpy(job + job_length, data, length);
    job_length += length;
}

int write_operator_with_cpp_encoders(void);

int main(void) {
    static const unsigned char gray[4] = {0, 85, 170, 255};
    pclxl_init(NULL, collect);
    pclxl_start_job_new("A4", "plain", "auto", "gray", false, "simplex", 1);
    pclxl_begin_session(600, 600);
    pclxl_open_datasource();
    pclxl_begin_page(0, 0, "simplex", "A4", PCLXL_MEDIA_A4, "Plain", 0, 0, 0, 0, 0);
    pclxl_set_color_space(PCLXL_COLOR_SPACE_GRAY);
    const int pixels = pclxl_write_pixels(PCLXL_PIXELS_GRAY8, gray, 4, 1, 4, 0, 0, 4, 1);
    pclxl_end_page(false, 1);
    pclxl_close_datasource();
    pclxl_end_session();
    pclxl_end_job();
    const int ok = pixels && job_length <= sizeof job && job_length > 100 &&
                   !memcmp(job, "\x1b%-12345X@PJL JOB\r\n", 19) &&
                   !memcmp(job + job_length - 28, "\x1b%-12345X@PJL EOJ\r\n\x1b%-12345X", 28);
    printf("consumer: libpclxl %s wrote a %zu-byte job\n", PCLXL_VERSION_STRING, job_length);
    return ok && write_operator_with_cpp_encoders() ? 0 : 1;
}
