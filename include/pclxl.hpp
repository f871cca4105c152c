/*
 * pclxl.hpp - the C++-linkage layer of libpclxl.
 *
 * These are the encoders beneath the plain C operations of pclxl.h. They
 * are exported with C++ linkage for hosts that build commands of their own.
 * Each writes its bytes, before it returns, to the writer in use on the
 * calling thread or else to the process-wide sink (see pclxl_writer_use());
 * a "piece" is one call of the host's callback. The library itself never
 * calls these names: defining one in a host changes only the host's calls.
 * Multi-byte values go out least significant byte first unless stated.
 */
#ifndef PCLXL_HPP
#define PCLXL_HPP

#include "pclxl.h"

/* ---------------------------------------------------------------------
 * Output sink
 * --------------------------------------------------------------------- */

/* Stores the callback and context (context first). @return 1. */
PCLXL_API int _dev_write_init(void const *context, pclxl_write_fn callback);
/* Delivers one piece to the callback. @return true when delivered; false
 * without a message when no callback is installed; false with one or two
 * stderr lines for a zero length or a NULL buffer. */
PCLXL_API bool _dev_write(void *buffer, unsigned int length);
PCLXL_API void _dev_write_flush();
PCLXL_API void _dev_write_exit();

/* ---------------------------------------------------------------------
 * Encoder primitives (one piece each unless stated)
 * --------------------------------------------------------------------- */

/* DataTypeCode values: 1 ubyte, 2 uint16, 3 uint32, 4 sint16, 5 sint32
 * for _pclxl_add_attribute; 10 ubyte_xy, 11 uint16_xy, 12 uint32_xy,
 * 13 sint16_xy, 14 sint32_xy for _pclxl_add_attributeXY. Any other code
 * writes the attribute tag and id alone. */

/* The operator byte. */
PCLXL_API void _pclxl_set_operator(unsigned char op);
/* Tag, value (cut to the type's width), F8, id. */
PCLXL_API void _pclxl_add_attribute(unsigned int value, unsigned char id, unsigned short type_code);
/* Tag, x, y, F8, id. */
PCLXL_API void _pclxl_add_attributeXY(unsigned int x, unsigned int y, unsigned char id,
                                      unsigned short type_code);
/* D3 x x y y F8 id. */
PCLXL_API void _pclxl_add_point16(_point16 *point, unsigned char id);
/* BoundingBox from two consecutive points (a _rect16): E3, box, F8 42. */
PCLXL_API void _pclxl_add_boundingBox16(_point16 *first_of_two);
/* Array header with an 8-bit count: tag C0 n. */
PCLXL_API void _pclxl_add_arrayHeader(unsigned char array_tag, unsigned short count);
/* Array header with a 16-bit count: tag C1 n n. */
PCLXL_API void _pclxl_add_arrayHeader16(unsigned char array_tag, unsigned short count);
/* Embedded data length: FB n up to 255, else FA n n n n. */
PCLXL_API void _pclxl_add_embedFlag(unsigned int length);
/* A character code; flags bit 0: data-type tag first, bit 1: 16-bit
 * value, bit 2: no CharCode suffix (F8 A2). */
PCLXL_API void _pclxl_add_code(unsigned short code, unsigned int flags);
/* Array attribute in 3 pieces: header (C8 C0 n for bytes, CB C1 n n for
 * 16-bit elements), the caller's data, F8 id. */
PCLXL_API void WriteXLArray(long count, unsigned char *data, bool byte_elements, unsigned char id);

/* ---------------------------------------------------------------------
 * Byte order
 * --------------------------------------------------------------------- */

PCLXL_API unsigned short TranslMotorolaWord(unsigned short value);
PCLXL_API unsigned int TranslMotorolaLong(unsigned int value);
/* dst[i] = low 8 bits of src[i] for i < count. */
PCLXL_API void WordStr2ByteStr(unsigned char *dst, short *src, int count);

/* ---------------------------------------------------------------------
 * Page encoders
 * --------------------------------------------------------------------- */

PCLXL_API void _pclxl_set_pageOrigin16(unsigned short x, unsigned short y);
PCLXL_API void _pclxl_set_pageRotation(unsigned short angle);
/* PageScale (1.0, 1.0) with the real32 values most significant byte
 * first, then SetPageScale; 12 bytes in one piece. Interpreters read
 * real32 in the stream's byte order, so this is best left unused. */
PCLXL_API void _pclxl_set_pageScale();

/* ---------------------------------------------------------------------
 * Delta-row compression
 * --------------------------------------------------------------------- */

/* Encodes `row` (`length` bytes) against `seed` into `out`: a 16-bit row
 * byte count, then replacement commands. Updates `seed` to equal `row`.
 * `out` must hold 2 + length + ceil(length / 8) bytes; nothing is written
 * beyond that. A length of 0 writes the count 00 00.
 * Offsets are written in full, however long the unchanged stretch. Rows of
 * up to 58253 bytes always fit the 16-bit count; for a longer row whose
 * commands exceed 65535 bytes the count holds only the low 16 bits.
 * @return the bytes written at `out` (2 for an unchanged row or length 0).
 */
PCLXL_API int DeltaOneLine(unsigned char *out, unsigned char *row, unsigned long length,
                           unsigned char *seed);
/* One replacement command: command byte ((count - 1) << 5 | offset, or
 * | 31 followed by extension bytes 255 ... and a final 0..254 for offsets
 * of 31 and more), then `count` (1..8) bytes from `src`.
 * @return the position after the last byte written. */
PCLXL_API unsigned char *SetM3Copy(unsigned char *out, unsigned short count, unsigned char *src,
                                   unsigned short offset);

/* ---------------------------------------------------------------------
 * Clipping
 * --------------------------------------------------------------------- */

/* BoundingBox, ClipRegion eInterior, SetClipRectangle. */
PCLXL_API void _pclxl_set_clipRectangle16(_rect16 *rect);

/* ---------------------------------------------------------------------
 * Bitmap text
 * --------------------------------------------------------------------- */

/* FontName attribute (flags bit 1: "<number-100>" prefix, bit 0: "BM"
 * else "TT"). @return the length of the name text, or -1 when it would
 * exceed 75 bytes (then nothing is written). */
PCLXL_API int _pclxl_addFontName(char const *name, int font_number, int name_flags);
PCLXL_API void _pclxl_text_set_bitmap_font_header(char const *name, unsigned short font_number,
                                                  unsigned short x_resolution,
                                                  unsigned short y_resolution);
PCLXL_API int _pclxl_text_set_bitmap_char(char const *name, int font_number, unsigned short code,
                                          unsigned char *bitmap, int length, unsigned short top,
                                          unsigned short left, unsigned short width,
                                          unsigned short height);
PCLXL_API void _pclxl_text_set_font(char const *name, int font_number, float size, int symbol_set,
                                    int name_flags);
PCLXL_API void _pclxl_text_set_bitmap_textData(unsigned short *codes, unsigned short count);
PCLXL_API int _pclxl_text_set_bitmap_textOut(unsigned short *codes, unsigned short count,
                                             short *x_spacing, unsigned short spacing_count,
                                             int unused);
PCLXL_API void _pclxl_text_remove_font(char const *name, int font_number, int name_flags);

/* ---------------------------------------------------------------------
 * Library information record
 * --------------------------------------------------------------------- */

namespace rur {
namespace pclxl {

/* Constructing one builds the process-wide list of identifying lines once
 * (thread-safe); see pclxl_library_info() for reading it. */
class PCLXL_API LIBRARY_INFO {
  public:
    LIBRARY_INFO();
};

} // namespace pclxl
} // namespace rur

#endif /* PCLXL_HPP */
