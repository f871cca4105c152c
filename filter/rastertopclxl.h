/*
 * rastertopclxl.h - the CUPS raster to PCL XL filter as a function.
 *
 * The filter program is a thin main() around rastertopclxl_run(); fuzzers
 * and tests call the function on arbitrary bytes.
 */
#ifndef RASTERTOPCLXL_H
#define RASTERTOPCLXL_H

#include <signal.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Reads CUPS raster pages from `in_fd` and writes one print job to
 * `out_fd`: the PJL job header (from the first page and `options`), one PCL
 * XL page per raster page, and the trailer. `options` is the CUPS filter's
 * option text ("name=value ..."); NULL is no options.
 *
 * Output is written page by page: each page reaches `out_fd` only once it
 * is complete, so what was written is always a well-formed job up to the
 * last complete page, which the function then closes with the end of
 * session and the trailer. A job without any complete page writes nothing.
 *
 * When `cancel` is not NULL and becomes non-zero (a signal handler sets
 * it), the current page is finished and the job is ended there.
 *
 * Messages go to stderr as CUPS filter messages: "ERROR: ", "INFO: ",
 * "DEBUG: " lines and "PAGE: n copies" for each page. The library's lines
 * come as "DEBUG: " lines (its refusals as "ERROR: "). Every text taken from
 * the input or the job (raster header, job name, user) has its control
 * characters replaced by blanks before it reaches stderr or the job.
 *
 * @return 0 when every page was converted (or the job was cancelled);
 * 1 after an "ERROR: " line: input that is not CUPS raster, is truncated,
 * malformed or in a format the printer cannot take (only 1-bit, 8-bit gray
 * and 24-bit RGB rasters are), or output that cannot be written. Any byte
 * after the last complete page that does not start a good page is an
 * error; only in run-length compressed raster, which libcups reads ahead, a
 * page header cut short can look like the end of the stream (the job
 * written is whole either way). */
int rastertopclxl_run(int in_fd, int out_fd, const char *options,
                      const volatile sig_atomic_t *cancel);

/* The same, with the job's name and user for the job header (NULL: the
 * library's fixed texts). Its resolution is the raster's when that is 300,
 * 600 or 1200 dpi both ways, else 600. */
int rastertopclxl_run_job(int in_fd, int out_fd, const char *options, const char *job_name,
                          const char *user, const volatile sig_atomic_t *cancel);

#ifdef __cplusplus
}
#endif

#endif /* RASTERTOPCLXL_H */
