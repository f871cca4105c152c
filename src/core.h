// The library's core: every encoder, as C++ functions that take the output
// explicitly. The exported functions (src/api/) bind the calling thread's
// output once and call in here; the core never calls an exported name, so
// a host that defines one of them cannot change what the library writes.
//
// An Out is the writer the calling thread had in use when the host called,
// or null for the process-wide sink and message handler of pclxl_init() and
// pclxl_set_message_handler().
#ifndef PCLXL_CORE_H
#define PCLXL_CORE_H

#include <cstddef>
#include <cstdint>

#include "pclxl.h"

struct pclxl_writer {
    const void *context;
    pclxl_write_fn callback;
    pclxl_message_fn handler; // null: stderr
    void *user;
};

namespace pclxl::core {

using Out = pclxl_writer *;

// ---- Output (stream/sink.cpp) ----

// The writer in use on the calling thread (null: the process-wide sink).
Out bind();
void use(Out writer);

// Delivers one piece. @return true when delivered; false without a line when
// there is no callback; false with a line for a zero length or no buffer.
bool write(Out out, const void *buffer, unsigned int length);
inline bool write_piece(Out out, const unsigned char *begin, const unsigned char *end) {
    return write(out, begin, static_cast<unsigned int>(end - begin));
}

// One or more whole lines, printf style, each ending in '\n': to stderr
// unbuffered, or line by line (without the newline) to the handler in
// charge. @return what fprintf would return for the same text.
int say(Out out, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
// "prefix: <text of errno>\n", as perror() prints it; errno is kept.
void say_errno(Out out, const char *prefix);

void set_message_handler(Out out, pclxl_message_fn handler, void *user);

// ---- Encoder primitives (stream/primitives.cpp), one piece each ----

void set_operator(Out out, unsigned char op);
// type_code: 1 ubyte, 2 uint16, 3 uint32, 4 sint16, 5 sint32; XY: 10..14.
void add_attribute(Out out, unsigned int value, unsigned char id, unsigned short type_code);
void add_attribute_xy(Out out, unsigned int x, unsigned int y, unsigned char id,
                      unsigned short type_code);
void add_point16(Out out, const _point16 &point, unsigned char id);
void add_bounding_box16(Out out, const _point16 *first_of_two);
void add_array_header(Out out, unsigned char array_tag, unsigned short count);
void add_array_header16(Out out, unsigned char array_tag, unsigned short count);
void add_embed_flag(Out out, unsigned int length);
// flags bit 0: data-type tag first, bit 1: 16-bit value, bit 2: no suffix.
void add_code(Out out, unsigned short code, unsigned int flags);
// Header, the caller's data, F8 id: 3 pieces.
void write_xl_array(Out out, long count, const unsigned char *data, bool byte_elements,
                    unsigned char id);
void add_comment(Out out, const void *bytes, uint32_t length);

// ---- Job, session and page (job/) ----

struct JobOptions {
    const char *paper_name, *media_type, *media_source, *color_mode;
    bool collate;
    const char *duplex_mode;
    uint32_t copies;
    const char *job_name, *user_name; // null: the fixed texts
    unsigned resolution;              // 0: 600
};
// The full job header, one piece; traces under `function`.
void start_job_new(Out out, const char *function, const JobOptions &options);
int start_job_with(Out out, const pclxl_job_settings *settings);
void start_job(Out out, const char *color_mode, uint32_t resolution);
void end_job(Out out);

void begin_session(Out out, uint16_t resolution_x, uint16_t resolution_y);
void end_session(Out out);
void open_datasource(Out out);
void close_datasource(Out out);

struct PageSetup {
    const char *duplex_mode, *media_size_str;
    int32_t media_size_code;
    const char *media_type_str;
    int32_t media_source_id;
    uint16_t margin_x, margin_y;
    float custom_width, custom_height;
};
void begin_page(Out out, const PageSetup &page);
void end_page(Out out, bool collate, uint16_t copies);
void set_page_origin16(Out out, unsigned short x, unsigned short y);
void set_page_rotation(Out out, unsigned short angle);
void set_page_scale(Out out);

// The printable size of `name` at 600 dpi; false (0, 0) for an unknown one.
bool paper_pixels(const char *name, int32_t *width, int32_t *height);

// ---- Raster (raster/) ----

// Output size of one delta-row row of `length` bytes, at most.
constexpr size_t delta_row_bound(size_t length) { return 2 + length + (length + 7) / 8; }
// Encodes `row` against `seed` into `out` (delta_row_bound bytes), updates
// the seed. @return the bytes written.
int delta_row(unsigned char *out, const unsigned char *row, size_t length, unsigned char *seed);
// The same bytes, against `previous` (the row before, or zeros), which is
// only read.
int delta_row_against(unsigned char *out, const unsigned char *row, size_t length,
                      const unsigned char *previous);
unsigned char *delta_row_command(unsigned char *out, unsigned short count, const unsigned char *src,
                                 unsigned short offset);

// How the rows of an image reach the encoder.
enum class Rows {
    AsIs,        // gray, bits, or already R,G,B
    SwapInPlace, // B,G,R exchanged in the caller's memory (the 1.0 call)
    SwapCopy,    // B,G,R exchanged into a one-row copy
    BGRXToRGB,
    RGBXToRGB,
};
struct ImageSource {
    const char *function; // named in its lines
    int32_t bits_per_pixel;
    Rows rows;
};
int write_image(Out out, const ImageSource &src, int32_t color_mapping, const unsigned char *data,
                int32_t width, int32_t height, int32_t stride, int16_t x, int16_t y,
                uint16_t dest_width, uint16_t dest_height);
int write_bitmap_data(Out out, int32_t color_mapping, unsigned char *data, int32_t width,
                      int32_t height, int32_t stride, int32_t bits_per_pixel, int16_t x, int16_t y,
                      uint16_t dest_width, uint16_t dest_height);
int write_pixels(Out out, int32_t format, const unsigned char *data, int32_t width, int32_t height,
                 int32_t stride, int16_t x, int16_t y, uint16_t dest_width, uint16_t dest_height);
void begin_image(Out out, int color_mapping, short x, short y, unsigned short dest_width,
                 unsigned short dest_height, unsigned short source_width,
                 unsigned short source_height);
int read_image(Out out, unsigned short start_line, unsigned short block_height,
               unsigned char compress_mode, unsigned int data_length);
int write_embed_data(Out out, const void *data, unsigned int length);
void end_image(Out out);

// ---- Graphics state and clipping (graphics/state.cpp) ----

// A ubyte attribute and its operator, two pieces.
void ubyte_command(Out out, int value, unsigned char id, unsigned char op_code);
void add_rgb_color(Out out, int color);
void set_miter_limit(Out out, short limit);
// A value as a ubyte attribute up to 255, else as a uint16; then the
// operator. Two pieces.
void smallest_unsigned_command(Out out, uint16_t value, unsigned char id, unsigned char op_code);
void rectangle_path16(Out out, const _point16 *rect);
void ellipse_path16(Out out, const _point16 *box);
void set_line_dash(Out out, const short *dashes, unsigned short count);
void set_color_space_with_palette(Out out, int space, int color1, int color2);
void set_clip_rectangle16(Out out, const _rect16 &rect);

// ---- Paths (graphics/path.cpp) ----

_point16 clamped_point(int x, int y);
void set_cursor(Out out, int x, int y);
void line_to(Out out, short x, short y);
bool add_poly_path16(Out out, const _point16 *points, unsigned int count, unsigned char op);
void curve_bezier(Out out, const _point16 &c1, const _point16 &c2, const _point16 &end);
void add_rect16(Out out, const _point16 *rect);
void add_round_rect16(Out out, const _point16 *rect);
void arc16(Out out, const _point16 *arc);
void draw_path16(Out out, const _point16 *points, int n);
void draw_poly_bezier16(Out out, int n, const _point16 *points);
int points_type(const _point16 *points, unsigned int count);
bool add_path_points(Out out, unsigned char op, int type, const _point16 *points,
                     unsigned int count);

// ---- Bitmap fonts and text (text/bitmap_text.cpp) ----
// `function` names the exported call in error lines.

int add_font_name(Out out, const char *function, const char *name, int font_number, int name_flags);
void font_header(Out out, const char *function, const char *name, unsigned short font_number,
                 unsigned short x_resolution, unsigned short y_resolution);
int bitmap_char(Out out, const char *function, const char *name, int font_number,
                unsigned short char_code, const unsigned char *bitmap, int length,
                unsigned short top, unsigned short left, unsigned short width,
                unsigned short height);
void select_font(Out out, const char *function, const char *name, int font_number, float size,
                 int symbol_set, int name_flags);
void text_data(Out out, const unsigned short *codes, unsigned short count);
int text_out(Out out, const unsigned short *codes, unsigned short count, const void *x_spacing,
             unsigned short spacing_count);
void remove_font(Out out, const char *function, const char *name, int font_number, int name_flags);
// Glyph offsets below the sint16 range stick at its lowest value.
unsigned short glyph_offset16(int value);

} // namespace pclxl::core

#endif
