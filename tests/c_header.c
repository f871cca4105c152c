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

int main(void) {
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
    return 0;
}
