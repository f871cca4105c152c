/*
 * pclxl.h - libpclxl, a PCL XL print stream encoder for printer drivers.
 *
 * A print job that libpclxl writes is
 *
 *   PJL job header       pclxl_start_job_new() (or pclxl_start_job())
 *   PCL XL stream        class 3.0, binary, low byte first:
 *     session            pclxl_begin_session(), pclxl_open_datasource()
 *     pages              pclxl_begin_page() ... drawing ... pclxl_end_page()
 *                        pclxl_close_datasource(), pclxl_end_session()
 *   PJL trailer          pclxl_end_job()
 *
 * The library is passive. It keeps no output buffer and no job or page
 * state: every call encodes its command at once and hands each finished
 * piece of the stream to the one write callback installed by pclxl_init(),
 * before the call returns. The stream is exactly the concatenation of the
 * pieces in call order, so the order of the host's calls is the structure
 * of the stream; the library does not check it.
 *
 * A "piece" is one call of the callback. The number of pieces each function
 * makes is documented because hosts (and their tests) may depend on it.
 *
 * Values are never range-checked, only cut to the width of their wire type
 * (a ubyte keeps the low 8 bits, a 16-bit type the low 16 bits).
 *
 * Diagnostics go to stderr, unbuffered: "=> name" / "<= name" trace lines
 * around the job, session and page operations, "Warning: " lines where a
 * bad page argument is replaced by a default, and "name(): Fatal Error: "
 * lines. Nothing ends the process. pclxl_set_message_handler() sends these
 * lines to the host instead.
 *
 * Threads: by default there is one sink for the whole process; call the
 * library from one thread at a time. A thread that puts a writer of its own
 * in use (pclxl_writer_use()) writes to it and may run alongside other such
 * threads.
 *
 * C++-only (type-decorated) internal encoders are declared in pclxl.hpp.
 */
#ifndef PCLXL_H
#define PCLXL_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

/* Version: MAJOR changes break the ABI (it is the SOVERSION), MINOR adds
 * functions, PATCH fixes behaviour without changing the interface. */
#define PCLXL_VERSION_MAJOR 1
#define PCLXL_VERSION_MINOR 1
#define PCLXL_VERSION_PATCH 0
#define PCLXL_VERSION_STRING "1.1.0"

#if defined(PCLXL_BUILDING_LIBRARY)
#define PCLXL_API __attribute__((visibility("default")))
#else
#define PCLXL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ======================================================================
 * Shared records
 * ====================================================================== */

/* A point of two signed 16-bit coordinates, laid out as the stream's
 * sint16 point data (x then y, each low byte first on x86). */
typedef struct _point16 {
    int16_t x;
    int16_t y;
} _point16;

/* A rectangle: one corner (x1, y1), then the opposite corner (x2, y2).
 * Same layout as two consecutive _point16. */
typedef struct _rect16 {
    int16_t x1;
    int16_t y1;
    int16_t x2;
    int16_t y2;
} _rect16;

/* ======================================================================
 * Output sink
 * ====================================================================== */

/* The host's write callback. It receives one piece of the stream:
 * `buffer` holds `length` bytes (never 0) and is valid only during the
 * call, so copy or consume it before returning. `context` is the pointer
 * given to pclxl_init(), passed back unchanged. The callback cannot report
 * failure and must not call back into the library. */
typedef void (*pclxl_write_fn)(const void *buffer, unsigned int length, const void *context);

/* A sink of its own for one thread's jobs (see pclxl_writer_use()). */
typedef struct pclxl_writer pclxl_writer;

/* Receives one trace, warning or error line, without its newline. `user`
 * is the pointer given to pclxl_set_message_handler(). The line is valid
 * only during the call. The handler must not call back into the library. */
typedef void (*pclxl_message_fn)(const char *line, void *user);

/* The installed callback (NULL: no sink, output is silently dropped) and
 * its context. Both are NULL until pclxl_init(); a host may read them. */
PCLXL_API extern pclxl_write_fn gDataOut;
PCLXL_API extern const void *g_data_out_ctx;

/* Installs `callback` with its `context`; replaces any earlier one (there
 * is one sink per process). Note the order: context first. A NULL callback
 * stops all output. Writes nothing. Threads with a writer in use (see
 * pclxl_writer_use()) keep writing to it. @return 1, always. */
PCLXL_API int pclxl_init(const void *context, pclxl_write_fn callback);

/* Do nothing: the library buffers nothing, and the callback stays
 * installed after pclxl_exit(). */
PCLXL_API void pclxl_exit(void);
PCLXL_API void pclxl_flush_prn_file(void);

/* ======================================================================
 * Comments
 * ====================================================================== */

/* Writes a PCL XL Comment command carrying `length` bytes of `bytes`
 * (no terminator is added or expected), in 3 pieces: the array header
 * (C8 C0 n when length <= 255, else C8 C1 n n), the bytes unchanged, then
 * F8 81 47. The caller keeps `length` <= 65535; the header holds only its
 * low 16 bits. A length of 0 still writes header and suffix (the sink
 * reports the empty middle piece on stderr). */
PCLXL_API void pclxl_add_comment(const void *bytes, uint32_t length);

/* ======================================================================
 * Paper sizes
 * ====================================================================== */

/* Stores the printable size in pixels at 600 dpi of the paper `name`
 * ("A4", "A3", "A5", "A5_Hor", "Letter", "JIS_B5", "ISO_B5"; exact,
 * case-sensitive match) in *width and *height; 0 and 0 for any other name.
 * All three pointers must be valid. */
PCLXL_API void get_paper_pixel_pclxl(const char *name, int32_t *width, int32_t *height);

/* ======================================================================
 * Job header and trailer
 * ====================================================================== */

/* Writes the full PJL job header and the PCL XL stream header line, in
 * one piece. Traces "=> pclxl_start_job_new" / "<= pclxl_start_job_new".
 *
 * paper_name    host paper name, translated to PJL PAPER ("A4" -> A4,
 *               "Letter" -> LETTER, "BIG 16K" -> K16, ...).
 * media_type    host media type ("plain", "plain_1", "tough_1", "labels",
 *               "film", ...) to PJL MEDIATYPE; "" means "plain_1".
 * media_source  host tray ("auto", "tray_1", "mpf_tray", ...) to PJL
 *               MEDIASOURCE; "" means "auto".
 * color_mode    "color" (or any beginning of it, "" included) selects
 *               RENDERMODE=COLOR and LCOLORMODEL=CMYK; anything else
 *               GRAYSCALE and BLACK.
 * collate       true: COPIES=1 and QTY=copies; false: COPIES=copies and
 *               QTY=1. Pass the same flag to every pclxl_end_page().
 * duplex_mode   "simplex" (or a beginning of it) gives DUPLEX=DISABLE;
 *               otherwise DUPLEX=ENABLE with BINDING=SHORTEDGE when it is
 *               "duplex_short_edge" or a beginning of it, else LONGEDGE.
 * copies        printed in unsigned decimal.
 *
 * A paper, media type or tray name that the library does not know is not
 * dropped: its PAPER, MEDIATYPE or MEDIASOURCE line carries the name itself,
 * upper-cased, with every byte other than A-Z, 0-9, '_' and '-' removed, so
 * no byte of the host's text (CR, LF, quotes, controls) can break the PJL
 * header. A name with nothing left gives the default value (PAPER=A4,
 * MEDIATYPE=PLAIN1, MEDIASOURCE=AUTOSELECT). The header is at most about
 * 800 bytes however long the names are (each value is cut at 64 bytes).
 * All texts must be valid NUL-terminated strings.
 *
 * Fixed texts, written whatever the arguments: JOBID=19,
 * USERNAME="PO-1544", JOBNAME="lalalala", JOBOWNER="qvLTSRNEGGXFBTLUZ",
 * TIMEOUT=90, BITSPERPIXEL=2, RESOLUTION=R600X600, PAPERMISMATCH=ENABLE,
 * IORIENTATION=IPORTRAIT, and HOLDPRINT, TIMEPRINT, BLANKSUPPRESS, RBMODE,
 * NOMARGINPRINT set to DISABLE. pclxl_start_job_with() replaces the names
 * and the resolution. */
PCLXL_API void pclxl_start_job_new(const char *paper_name, const char *media_type,
                                   const char *media_source, const char *color_mode, bool collate,
                                   const char *duplex_mode, uint32_t copies);

/* Writes a short job header, one piece: UEL, RENDERMODE (as above),
 * RESOLUTION=`resolution`, ENTER LANGUAGE=PCLXL and the stream header
 * line. Traces like pclxl_start_job_new(). */
PCLXL_API void pclxl_start_job(const char *color_mode, uint32_t resolution);

/* Writes the 28-byte trailer (UEL, "@PJL EOJ", UEL) in one piece. */
PCLXL_API void pclxl_end_job(void);

/* ======================================================================
 * Session, data source and page
 * ====================================================================== */

/* BeginSession with UnitsPerMeasure = (resolution_x, resolution_y) per
 * inch and ErrorReport = back channel and error page. 4 pieces. Traces. */
PCLXL_API void pclxl_begin_session(uint16_t resolution_x, uint16_t resolution_y);
/* EndSession, 1 piece. Traces. */
PCLXL_API void pclxl_end_session(void);
/* OpenDataSource (default source, binary low byte first), 3 pieces. */
PCLXL_API void pclxl_open_datasource(void);
/* CloseDataSource, 1 piece; prints only the "<=" trace line. */
PCLXL_API void pclxl_close_datasource(void);

/* Opens a page: page setup, BeginPage, then the default graphics state
 * (page origin at the margins, no rotation, ROP3 204, opaque transfer
 * modes, no pen, no brush, non-zero winding fill).
 *
 * unused1, unused2        not read.
 * duplex_mode             "simplex" (or a beginning): no DuplexPageMode;
 *                         "duplex_short_edge" (or a beginning): horizontal
 *                         binding (0); any other text: vertical (1).
 * media_size_pclxl_str    the media size name. A text beginning with
 *                         "CUST" selects a custom size from the two floats.
 * media_size_pclxl_code   MediaSize enumeration (0..255) written as a
 *                         number; a negative code sends the name instead.
 * media_type_pclxl_str    MediaType text such as "Plain"; NULL or "" gives
 *                         a "Warning: " line and "Plain".
 * media_source_pclxl_id   MediaSource enumeration (0..255); a negative value
 *                         gives a "Warning: " line and 0.
 * margin_x, margin_y      page origin, in pixels.
 * custom_page_width/height  custom size in pixels at 600 dpi, without the
 *                         margins; sent in tenths of a millimetre (must fit
 *                         16 bits).
 *
 * Pieces: Orientation, [DuplexPageMode], MediaSource, [MediaSize code],
 * one page setup block (MediaType, size, BeginPage, PushGS,
 * SetPageDefaultCTM), then 16 pieces of default graphics state. The setup
 * block grows to fit long texts; nothing is cut. Texts must be valid.
 * A media type or size name over 65535 bytes, or no memory for a setup
 * block over 1 KB, gives one "pclxl_begin_page(): Fatal Error: " line after
 * the "=>" trace, and nothing is written. */
PCLXL_API void pclxl_begin_page(int32_t unused1, int32_t unused2, const char *duplex_mode,
                                const char *media_size_pclxl_str, int32_t media_size_pclxl_code,
                                const char *media_type_pclxl_str, int32_t media_source_pclxl_id,
                                uint16_t margin_x, uint16_t margin_y, float custom_page_width,
                                float custom_page_height);

/* Ends the page: PageCopies = 1 when `collate`, else `copies`, then
 * EndPage. 2 pieces. Traces. */
PCLXL_API void pclxl_end_page(bool collate, uint16_t copies);

/* ======================================================================
 * Raster images
 * ====================================================================== */

/* Writes a whole image: cursor move to (x, y), BeginImage, the rows in
 * delta-row compressed ReadImage blocks of at most about 64 KB (2 pieces
 * per block: a 20-byte header and the data), EndImage.
 *
 * color_mapping   0 direct (ColorDepth 8 bits) or 1 indexed (1 bit).
 * data            first (top) row. 24-bit images are converted in place:
 *                 B,G,R becomes R,G,B in the caller's memory.
 * width, height   in pixels, at most 65535 each.
 * stride          bytes from one row to the next; may be negative (not at
 *                 1 bit per pixel).
 * bits_per_pixel  1: all `stride` bytes of each row are sent, so pass a
 *                 stride of exactly (width + 7) / 8: interpreters reject
 *                 rows longer than the image's width;
 *                 8: `width` bytes of gray; 24: B,G,R pixels;
 *                 32: B,G,R,x pixels (sent as R,G,B, data unchanged).
 * x, y            place on the page (clamped to -32700..32700).
 * dest_width/height  printed size in page units.
 *
 * Set the colour space first (pclxl_set_color_space, or
 * pclxl_set_color_space_with_palette for 1-bit images).
 *
 * A block is sent once it holds more than 65535 - 2 * (row size) bytes,
 * so it never exceeds 64 KB plus one row. A height of 0 or less writes the
 * cursor move, BeginImage and EndImage only.
 *
 * @return 1 on success. 0, with one "pclxl_write_bitmap_data(): Fatal
 * Error: ..." line on stderr naming the problem, when: bits_per_pixel is
 * not 1, 8, 24 or 32, width or height exceed 65535, a row would be less
 * than 1 or more than 32767 bytes (checked whatever the height), or data is
 * NULL while there are rows; or a "malloc(...) failed" line when memory runs
 * out. Nothing is written in all these cases. Also 0 when the sink refuses
 * a block (no callback installed), which leaves the image unterminated. */
PCLXL_API int pclxl_write_bitmap_data(int32_t color_mapping, unsigned char *data, int32_t width,
                                      int32_t height, int32_t stride, int32_t bits_per_pixel,
                                      int16_t x, int16_t y, uint16_t dest_width,
                                      uint16_t dest_height);

/* Lower-level image sequence, for hosts that compress their own blocks:
 * pclxl_begin_image, then per block pclxl_read_image followed by exactly
 * `data_length` bytes through pclxl_write_embed_data, then
 * pclxl_end_image. */

/* Cursor move, then ColorMapping, ColorDepth (1 bit when indexed),
 * SourceWidth, SourceHeight, DestinationSize and BeginImage; 8 pieces.
 * Note: destination size before source size. @return 1. */
PCLXL_API int pclxl_begin_image(int color_mapping, short x, short y, unsigned short dest_width,
                                unsigned short dest_height, unsigned short source_width,
                                unsigned short source_height);

/* The 20-byte ReadImage header (StartLine, BlockHeight, CompressMode,
 * ReadImage, FA + 32-bit length) in one piece.
 * @return the sink's result: 1 delivered, 0 no callback installed. */
PCLXL_API int pclxl_read_image(unsigned short start_line, unsigned short block_height,
                               unsigned char compress_mode, unsigned int data_length);

/* Hands `length` bytes to the sink unchanged, in one piece.
 * @return 1 delivered; 0 refused (with a "Fatal Error" line). */
PCLXL_API int pclxl_write_embed_data(void *data, unsigned int length);

/* EndImage, 1 piece. @return 1. */
PCLXL_API int pclxl_end_image(void);

/* ======================================================================
 * Graphics state and clipping (one command each unless stated)
 * ====================================================================== */

/* Colour values are 0x00RRGGBB; the top byte is ignored. Enumerations are
 * forwarded unchanged (low 8 bits). */

PCLXL_API void pclxl_set_rop3(int rop); /* ROP3, SetROP */
/* RGBColor attribute only (9 bytes, 1 piece); follow with
 * pclxl_set_pen_source() or pclxl_set_brush_source(). */
PCLXL_API void pclxl_addRGBColor(int color);
/* GrayLevel attribute only; follow with a source operator. */
PCLXL_API void pclxl_addGrayAttr(unsigned char gray);
PCLXL_API void pclxl_set_pen_source(void);        /* SetPenSource operator */
PCLXL_API void pclxl_set_brush_source(void);      /* SetBrushSource operator */
PCLXL_API void pclxl_set_pen_source_null(void);   /* NullPen, SetPenSource */
PCLXL_API void pclxl_set_brush_source_null(void); /* NullBrush, ... */
PCLXL_API void pclxl_set_fill_mode(int mode);
/* PenWidth is a ubyte: widths above 255 are cut to their low 8 bits. */
PCLXL_API void pclxl_set_pen_width(int width);
PCLXL_API void pclxl_set_line_cap_style(int cap);
PCLXL_API void pclxl_set_line_join_style(int join);
PCLXL_API void pclxl_set_miter_limit(short limit);
/* Dash pattern of `count` sint16 lengths, already low byte first in memory;
 * 4 pieces (header, the caller's data, F8 4A, SetLineDash). */
PCLXL_API void pclxl_set_line_dash(const short *dashes, unsigned short count);
PCLXL_API void pclxl_set_solid_line(void);
/* Clip to the current path (build it first with the path operations). */
PCLXL_API void pclxl_set_clip_replace(int region);
PCLXL_API void pclxl_set_clip_intersect(int region);
PCLXL_API void pclxl_set_clip_to_page(void);
PCLXL_API void pclxl_set_clip_mode(int mode);
/* ColorSpace (1 eGray, 2 eRGB, ...), SetColorSpace. */
PCLXL_API void pclxl_set_color_space(int space);
/* ColorSpace with a two-entry 8-bit palette for 1-bit indexed images:
 * pixel 0 takes color1, 1 takes color2. Space 1 (gray) converts each colour
 * to (30 R + 59 G + 11 B) / 100; space 2 (RGB) sends the components. Any
 * other space writes nothing. 4 pieces. */
PCLXL_API void pclxl_set_color_space_with_palette(int space, int color1, int color2);

/* ======================================================================
 * Paths
 * ====================================================================== */

PCLXL_API void pclxl_new_path(void);       /* NewPath */
PCLXL_API void pclxl_close_sub_path(void); /* CloseSubPath */
PCLXL_API void pclxl_paint_path(void);     /* PaintPath */

/* Stores (x, y), each clamped to -32700..32700, into *point. */
PCLXL_API void pclxl_assign_points_with_check(_point16 *point, int x, int y);
/* SetCursor to the clamped point; 2 pieces. */
PCLXL_API void pclxl_set_cursorXY(int x, int y);
/* A straight line from the current point to the clamped (x, y). */
PCLXL_API void pclxl_end_path(short x, short y);

/* NumberOfPoints, PointType sint16, the operator `op` (0x9B LinePath or
 * 0x93 BezierPath), the data length and the `count` points unchanged from
 * the caller's memory; 5 pieces. count must be at most 16383.
 * @return true when the point data reached the callback. */
PCLXL_API bool pclxl_add_polyLinePath16(const _point16 *points, unsigned int count,
                                        unsigned char op);
/* One cubic Bezier segment from the current point: control points c1 and
 * c2, end point end. */
PCLXL_API void pclxl_curve_bezier(const _point16 *c1, const _point16 *c2, const _point16 *end);
/* New path holding a rectangle (2 corner points); not painted. 3 pieces. */
PCLXL_API void pclxl_add_rect16(const _point16 *rect);
/* New path holding a rounded rectangle: rect[0], rect[1] corners,
 * rect[2] the ellipse width and height; not painted. 3 pieces. */
PCLXL_API void pclxl_add_round_rect16(const _point16 *rect);
/* New path with an arc and paint it: arc[0], arc[1] the ellipse box,
 * arc[2] the start point, arc[3] the end point. */
PCLXL_API void pclxl_arc16(const _point16 *arc);
/* New path, a closed polygon through points[0..n-1], painted: cursor to
 * points[0], one LinePath block of the other n - 1 points, a line back to
 * points[0], PaintPath. n from 1 to 16384 (n - 1 points fit one block);
 * for any other n, or NULL points, one "pclxl_draw_path16(): Fatal Error:"
 * line and nothing written. */
PCLXL_API void pclxl_draw_path16(const _point16 *points, int n);
/* New path, an open chain of cubic Bezier segments from points[0]
 * (every 3 further points make a segment, all in one BezierPath block; 1
 * left over makes a line, 2 a curve with both control points on the
 * first), painted. n from 1 to 16384; for any other n, or NULL points, one
 * "pclxl_draw_poly_bezier16(): Fatal Error:" line and nothing written.
 * Note the argument order: count first. */
PCLXL_API void pclxl_draw_poly_bezier16(int n, const _point16 *points);

/* ======================================================================
 * Bitmap fonts and text
 * ====================================================================== */

/* Every font command names the font by "<number - 100>BM<name>", e.g.
 * number 112 and name "abc" give "12BMabc". Pass the same name and number
 * to every call for one font. That text must be at most 75 bytes; a longer
 * one gets one "Fatal Error" line naming the operation and the command is
 * not written. */

/* Downloads a format-0 bitmap font header with the given resolution (use
 * the session's units per inch so glyphs print 1:1). 11 pieces. */
PCLXL_API void pclxl_set_font_header_for_bitmap(const char *name, uint16_t font_number,
                                                uint16_t x_resolution, uint16_t y_resolution);

/* Downloads one character: `length` bytes of bitmap (rows of
 * ceil(width / 8) bytes, MSB first), its offsets (note: top before left)
 * and size. An offset below -32768 is sent as -32768; any other keeps its
 * low 16 bits. CharDataSize (length + 10) is a uint16 below 65536, else a
 * uint32. 9 pieces; the bitmap goes out unchanged from `bitmap` as one of
 * them (a length of 0 makes the sink refuse that piece, with its stderr
 * line). A negative length gets one "Fatal Error" line and nothing is
 * written. @return 1. */
PCLXL_API int pclxl_set_char_for_bitmap(const char *name, int font_number, uint16_t char_code,
                                        const unsigned char *bitmap, int length, int top, int left,
                                        uint16_t width, uint16_t height);

/* Selects the font (CharSize |size|, SymbolSet 2, SetFont). 2 pieces.
 * CharSize is written most significant byte first; interpreters ignore it
 * for bitmap fonts. */
PCLXL_API void pclxl_set_font_for_bitmap(const char *name, int font_number, float size);

/* Paints `count` character codes at the cursor, with `spacing_count`
 * x-advance bytes from `x_spacing` when it is not NULL (one byte per
 * character; at most 255). n + 3 pieces, n + 6 with spacing.
 * The last argument is ignored. @return 1. */
PCLXL_API int pclxl_paint_text_for_bitmap(const uint16_t *codes, uint16_t count,
                                          const void *x_spacing, uint16_t spacing_count,
                                          int unused);

/* RemoveFont. 2 pieces. */
PCLXL_API void pclxl_remove_font_for_bitmap(const char *name, uint16_t font_number);

/* ======================================================================
 * Writers and messages (1.1)
 * ====================================================================== */

/* A new writer: `callback` receives the pieces with `context`, exactly as
 * the process-wide sink of pclxl_init() would (NULL callback: output is
 * dropped). It has no message handler. Writes nothing.
 * @return the writer; NULL, with one line, when memory runs out. */
PCLXL_API pclxl_writer *pclxl_writer_new(const void *context, pclxl_write_fn callback);

/* From now on every library call on the calling thread writes to `writer`
 * and sends its lines to the writer's handler (stderr when it has none).
 * NULL goes back to the process-wide sink and handler. Other threads are
 * not affected; threads that never call this behave as if there were no
 * writers. One writer must be in use on one thread at a time.
 * @return the writer in use before (NULL: the process-wide sink). */
PCLXL_API pclxl_writer *pclxl_writer_use(pclxl_writer *writer);

/* Frees `writer` (NULL: nothing). When it is in use on the calling thread,
 * that thread goes back to the process-wide sink. It must not be in use on
 * any other thread. */
PCLXL_API void pclxl_writer_free(pclxl_writer *writer);

/* Sends every trace, warning and error line to `handler` (with `user`),
 * one call per line, without the newline, instead of to stderr. It is the
 * handler of the writer in use on the calling thread, or the process-wide
 * one (for threads without a writer) when there is none. NULL restores
 * stderr. The cache-directory helpers' lines are included. */
PCLXL_API void pclxl_set_message_handler(pclxl_message_fn handler, void *user);

/* ======================================================================
 * Job settings (1.1)
 * ====================================================================== */

/* The job header's options. Set `size` to sizeof(struct pclxl_job_settings);
 * later versions may add fields at the end. */
struct pclxl_job_settings {
    unsigned int size;
    /* As for pclxl_start_job_new(); NULL counts as "". */
    const char *paper_name, *media_type, *media_source, *color_mode;
    bool collate;
    const char *duplex_mode;
    uint32_t copies;
    const char *job_name;  /* JOBNAME; NULL keeps the fixed text */
    const char *user_name; /* USERNAME and JOBOWNER; NULL keeps the fixed texts */
    uint16_t resolution;   /* 300, 600 or 1200 for RESOLUTION=RnXn; 0 keeps 600 */
};

/* Longest job or user name written; the rest is dropped. */
#define PCLXL_JOB_TEXT_MAX 80

/* Writes the job header of pclxl_start_job_new() with the settings'
 * options, in one piece, with the job name, user name and resolution
 * replaced where given. Names are written between double quotes; every
 * byte outside printable ASCII, and the double quote itself, becomes '_',
 * and only the first PCLXL_JOB_TEXT_MAX bytes are kept, so no host text
 * can end a PJL line or its value. With NULL names and resolution 0 the
 * bytes are exactly those of pclxl_start_job_new(). Traces
 * "=> pclxl_start_job_with" / "<= pclxl_start_job_with".
 * @return 1. 0, with one "pclxl_start_job_with(): Fatal Error: " line and
 * nothing written, for NULL settings, a `size` below
 * sizeof(struct pclxl_job_settings) or another resolution. */
PCLXL_API int pclxl_start_job_with(const struct pclxl_job_settings *settings);

/* ======================================================================
 * Const pixels (1.1)
 * ====================================================================== */

/* Pixel formats of pclxl_write_pixels(): the low byte is the bits per
 * pixel, 0x100 marks R,G,B order (else B,G,R). */
#define PCLXL_PIXELS_BITS1 1      /* 1 bit, indexed: set a 2-entry palette */
#define PCLXL_PIXELS_GRAY8 8      /* 1 byte of gray */
#define PCLXL_PIXELS_BGR24 24     /* B,G,R */
#define PCLXL_PIXELS_BGRX32 32    /* B,G,R, one byte ignored */
#define PCLXL_PIXELS_RGB24 0x118  /* R,G,B */
#define PCLXL_PIXELS_RGBX32 0x120 /* R,G,B, one byte ignored */

/* Writes a whole image as pclxl_write_bitmap_data() does, byte for byte and
 * piece for piece, from pixels in `format`: colour mapping indexed for
 * PCLXL_PIXELS_BITS1, direct for the others. `data` is only read (it may be
 * read-only memory); R,G,B rows go out without any conversion.
 * Same limits, results and refusals as pclxl_write_bitmap_data() (a
 * `format` not listed above is refused); the lines name
 * pclxl_write_pixels(). */
PCLXL_API int pclxl_write_pixels(int32_t format, const unsigned char *data, int32_t width,
                                 int32_t height, int32_t stride, int16_t x, int16_t y,
                                 uint16_t dest_width, uint16_t dest_height);

/* ======================================================================
 * Graphics state and paths (1.1)
 * ====================================================================== */

/* PushGS and PopGS: the operator byte, 1 piece. The printer keeps the
 * saved states (a few hundred at most); a pop without a push is the
 * printer's error, not checked here. */
PCLXL_API void pclxl_push_graphics_state(void);
PCLXL_API void pclxl_pop_graphics_state(void);

/* PenWidth as a ubyte up to 255, else as a uint16, then SetPenWidth;
 * 2 pieces. Up to 255 the bytes are those of pclxl_set_pen_width(). */
PCLXL_API void pclxl_set_pen_width16(uint16_t width);

/* MiterLength, unsigned (interpreters refuse the sint16 that
 * pclxl_set_miter_limit() writes): a ubyte up to 255, else a uint16, then
 * SetMiterLimit; 2 pieces. */
PCLXL_API void pclxl_set_miter_length(uint16_t length);

/* TxMode (PCLXL_TX_OPAQUE or PCLXL_TX_TRANSPARENT, forwarded as a ubyte),
 * then SetSourceTxMode or SetPaintTxMode; 2 pieces each. */
PCLXL_API void pclxl_set_source_tx_mode(int mode);
PCLXL_API void pclxl_set_paint_tx_mode(int mode);

/* A rectangle (2 corner points) added to the current path, without the
 * NewPath of pclxl_add_rect16(): BoundingBox, RectanglePath; 2 pieces. */
PCLXL_API void pclxl_rectangle_path16(const _point16 *rect);

/* The ellipse inside a box (2 corner points) added to the current path as
 * a closed subpath of its own: BoundingBox, EllipsePath; 2 pieces. Where
 * the subpath starts and which way it runs is the printer's choice, so a
 * dashed stroke or a nonzero fill with other subpaths may differ from the
 * same ellipse drawn as curves. */
PCLXL_API void pclxl_ellipse_path16(const _point16 *box);

/* The smallest point type that holds every coordinate of points[0] to
 * points[count - 1]: PCLXL_POINTS_UBYTE when all are 0..255, else
 * PCLXL_POINTS_SBYTE when all are -128..127, else PCLXL_POINTS_SINT16
 * (also for count 0). Writes nothing. */
PCLXL_API int pclxl_points_type(const _point16 *points, unsigned int count);

/* Adds `count` points to the current path with the path operator `op`
 * (PCLXL_PATH_LINES, PCLXL_PATH_CURVES, or their _RELATIVE forms), each
 * coordinate written as `type` (a PCLXL_POINTS_ value). 5 pieces:
 * NumberOfPoints (a ubyte up to 255, else a uint16), PointType, the
 * operator, the data length (FB n up to 255 bytes, else FA and 4 bytes)
 * and the point data, x then y, 2 bytes a point for the byte types and 4
 * (low byte first) for sint16.
 * Absolute paths take the points as they are. A relative line's point is
 * its end minus the point before; each curve of a relative path gives its
 * two control points and its end minus the point where the curve starts.
 * With points of type PCLXL_POINTS_SINT16 and op PCLXL_PATH_LINES or
 * PCLXL_PATH_CURVES the bytes are those of pclxl_add_polyLinePath16(),
 * except a NumberOfPoints below 256.
 * @return true when the point data reached the callback. false, with one
 * "pclxl_add_path_points(): Fatal Error: " line and nothing written, for
 * another operator or type, a count outside 1..16383, NULL points, or a
 * coordinate outside the type's range. */
PCLXL_API bool pclxl_add_path_points(unsigned char op, int type, const _point16 *points,
                                     unsigned int count);

/* ======================================================================
 * Wire values a host passes (1.1)
 * ====================================================================== */

/* Colour spaces: pclxl_set_color_space(), ..._with_palette(). */
#define PCLXL_COLOR_SPACE_GRAY 1
#define PCLXL_COLOR_SPACE_RGB 2

/* Colour mappings: pclxl_write_bitmap_data(), pclxl_begin_image(). */
#define PCLXL_COLOR_MAPPING_DIRECT 0
#define PCLXL_COLOR_MAPPING_INDEXED 1

/* MediaSize codes: pclxl_begin_page(). Not every printer knows every code;
 * a custom size is the safe choice for the rarer ones. */
#define PCLXL_MEDIA_LETTER 0
#define PCLXL_MEDIA_LEGAL 1
#define PCLXL_MEDIA_A4 2
#define PCLXL_MEDIA_EXECUTIVE 3
#define PCLXL_MEDIA_LEDGER 4
#define PCLXL_MEDIA_A3 5
#define PCLXL_MEDIA_ENV_COM10 6
#define PCLXL_MEDIA_ENV_MONARCH 7
#define PCLXL_MEDIA_ENV_C5 8
#define PCLXL_MEDIA_ENV_DL 9
#define PCLXL_MEDIA_JIS_B4 10
#define PCLXL_MEDIA_JIS_B5 11
#define PCLXL_MEDIA_ENV_B5 12
#define PCLXL_MEDIA_ISO_B5 13
#define PCLXL_MEDIA_JPOSTCARD 14
#define PCLXL_MEDIA_JDOUBLE_POSTCARD 15
#define PCLXL_MEDIA_A5 16
#define PCLXL_MEDIA_A6 17
#define PCLXL_MEDIA_JIS_B6 18

/* Raster operations: pclxl_set_rop3(). Pages start with source copy, right
 * for images; vector fills and strokes need pattern copy (or pattern or
 * source) to show the brush and pen colours. */
#define PCLXL_ROP_BLACK 0
#define PCLXL_ROP_SOURCE_AND_DEST 136
#define PCLXL_ROP_DEST 170
#define PCLXL_ROP_SOURCE_COPY 204
#define PCLXL_ROP_SOURCE_OR_DEST 238
#define PCLXL_ROP_PATTERN_COPY 240
#define PCLXL_ROP_PATTERN_OR_SOURCE 252
#define PCLXL_ROP_WHITE 255

/* DuplexPageMode bindings (what pclxl_begin_page() writes for the duplex
 * texts). */
#define PCLXL_DUPLEX_HORIZONTAL_BINDING 0 /* short edge */
#define PCLXL_DUPLEX_VERTICAL_BINDING 1   /* long edge */

/* CompressMode: pclxl_read_image(). */
#define PCLXL_COMPRESS_NONE 0
#define PCLXL_COMPRESS_RLE 1
#define PCLXL_COMPRESS_JPEG 2
#define PCLXL_COMPRESS_DELTA_ROW 3

/* Fill rules: pclxl_set_fill_mode(); clip modes: pclxl_set_clip_mode(). */
#define PCLXL_FILL_NONZERO_WINDING 0
#define PCLXL_FILL_EVEN_ODD 1

/* Transparency modes: pclxl_set_source_tx_mode(), ..._paint_tx_mode(). */
#define PCLXL_TX_OPAQUE 0
#define PCLXL_TX_TRANSPARENT 1

/* Path operators and point types: pclxl_add_path_points(). */
#define PCLXL_PATH_CURVES 0x93
#define PCLXL_PATH_CURVES_RELATIVE 0x95
#define PCLXL_PATH_LINES 0x9B
#define PCLXL_PATH_LINES_RELATIVE 0x9D
#define PCLXL_POINTS_UBYTE 0
#define PCLXL_POINTS_SBYTE 1
#define PCLXL_POINTS_SINT16 3

/* Line caps: pclxl_set_line_cap_style(). */
#define PCLXL_CAP_BUTT 0
#define PCLXL_CAP_ROUND 1
#define PCLXL_CAP_SQUARE 2
#define PCLXL_CAP_TRIANGLE 3

/* Line joins: pclxl_set_line_join_style(). */
#define PCLXL_JOIN_MITER 0
#define PCLXL_JOIN_ROUND 1
#define PCLXL_JOIN_BEVEL 2
#define PCLXL_JOIN_NONE 3

/* Clip regions: pclxl_set_clip_replace(), pclxl_set_clip_intersect(). */
#define PCLXL_CLIP_INTERIOR 0
#define PCLXL_CLIP_EXTERIOR 1

/* Most bytes one delta-row compressed row of `n` bytes can take: the 2-byte
 * count, the row itself and one command byte per 8 bytes. Size a block
 * buffer as the sum over its rows. */
#define PCLXL_DELTA_ROW_MAX_BYTES(n) (2u + (n) + ((n) + 7u) / 8u)

/* ======================================================================
 * Compatibility helpers
 *
 * Kept for hosts of the 1.0 interface; no encoder needs them. New hosts
 * have better tools in their own language and system.
 * ====================================================================== */

/* ---- Byte order (no state; no alignment needed; nothing is checked) ---- */

/* Little-endian reads. pbGetInt32 reads a signed value; the single
 * pattern 00 00 00 80 reads as 0, every other value as itself. */
PCLXL_API int32_t pbGetInt32(const void *p);
PCLXL_API uint16_t pbGetUInt16(const void *p);
PCLXL_API uint32_t pbGetUInt32(const void *p);
/* Little-endian stores of the low 16 bits / all 32 bits of `value`. */
PCLXL_API void pbSetUInt16(void *p, unsigned int value);
PCLXL_API void pbSetUInt32(void *p, uint32_t value);
/* Big-endian (most significant byte first) reads and stores. */
PCLXL_API uint16_t pbBigGetUInt16(const void *p);
PCLXL_API uint32_t pbBigGetUInt32(const void *p);
PCLXL_API void pbBigSetUInt16(void *p, unsigned int value);
PCLXL_API void pbBigSetUInt32(void *p, uint32_t value);

/* ---- Cache directories (POSIX style: errno on failure) ---- */

/* mkdir -p: creates every directory of `path` (at most 4095 bytes) with
 * `mode` (subject to the umask), parents first. An entry of any kind that
 * already exists under a name is accepted. Prints nothing.
 * @return 0 when the path exists afterwards; -1 with errno: ENAMETOOLONG
 * for a longer path (nothing created), else mkdir's errno (ENOENT for the
 * empty path); directories made before a failure stay. */
PCLXL_API int pb_mkdir_p(const char *path, mode_t mode);
/* Creates the directories leading to the file `path` (every prefix ending
 * at a '/' after the first byte), not the file. A name without a '/'
 * creates nothing. @return 0, or -1 with errno as for pb_mkdir_p(). */
PCLXL_API int pb_mkdir_for_file_p(const char *path, mode_t mode);
/* Makes sure `cache_dir_path` exists (created 0755, with its parents) and
 * is readable and writable. @return 0 on success. On failure, a non-zero
 * value after one of these lines on stderr:
 *   "Fatal Error: mkdir_p(<path>) == -1, error=<strerror>"
 *   "Fatal Error: mkdir_p(<path>) worked, but not exactly! error=<strerror>"
 *     followed by a line holding the error text alone
 *   "Fatal Error: access(cache_dir_path, (R_OK | W_OK)) == -1)\uFF0C errno=<strerror>"
 *     (a full-width comma, U+FF0C in UTF-8, then a space). */
PCLXL_API int pb_init_cache_dir(const char *cache_dir_path);
/* Removes a file or a whole directory tree, deepest entries first, and
 * nothing outside it: symbolic links, inside the tree or the named path
 * itself (a trailing '/' included), are removed as links and never
 * followed. Depth and path length are unlimited; few descriptors are held.
 * Problems are reported with perror() lines and the rest goes on:
 * "open directory error: ..." for a directory that cannot be opened (it is
 * skipped, so its parents stay), "unknow file type!: ..." for an entry that
 * is neither file, link nor directory (left in place), "get directory stat
 * error: ..." for a status that cannot be read.
 * @return 0 when the path did not exist or was removed as far as possible;
 * -1 when its own status cannot be read. */
PCLXL_API int pb_remove_dir(const char *path);

/* ---- Library information ---- */

/* The library's seven identifying lines, "LABEL: value", in this order:
 *   LIBRARY_INFO_NAME: pclxl
 *   LIBRARY_INFO_VERSION: PCLXL_VERSION_STRING
 *   LIBRARY_INFO_BUILD_DATE: 2026-01-31T12:00:00Z (UTC; SOURCE_DATE_EPOCH
 *                            when the build had it set, else when it was
 *                            configured)
 *   LIBRARY_INFO_BUILD_TYPE: the build configuration, e.g. Release
 *   LIBRARY_INFO_GIT_BRANCH, LIBRARY_INFO_GIT_COMMIT (40 hex digits),
 *   LIBRARY_INFO_GIT_COMMIT_DATE (ISO 8601): of the source checkout; empty
 *                            values (the line ends in ": ") when the
 *                            sources were not a git checkout, and the
 *                            branch also on a detached checkout.
 * Stores the number of lines (7) in *count when count is not NULL.
 * @return a static array of static strings, valid until the library is
 * unloaded. Thread-safe; builds the list on first use. */
PCLXL_API const char *const *pclxl_library_info(size_t *count);

#ifdef __cplusplus
}
#endif

#endif /* PCLXL_H */
