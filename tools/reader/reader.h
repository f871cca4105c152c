// A reader and checker for PJL / PCL XL print jobs.
//
// read_job() reads a whole job front to back in one pass: the PJL lines,
// the PCL XL stream header, and every tag, attribute, operator and embedded
// data block of the binary stream, in either byte order. It checks the
// structure (sessions, data sources, pages, images, fonts and characters),
// decodes image data row by row, and reports each piece to a Listener. It
// keeps only small per-image and per-font state, so a large job is read
// without holding it in memory.
#ifndef PCLXL_READER_READER_H
#define PCLXL_READER_READER_H

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "vocabulary.h"

namespace pclxl_reader {

// The bytes of a job, read once from a file (or stdin) or from memory.
class Source {
  public:
    explicit Source(std::FILE *file); // not closed by the source
    Source(const void *data, size_t size);

    int get();  // the next byte, or -1 at the end
    int peek(); // the next byte without taking it, or -1
    // Reads up to n bytes; fewer only at the end of the input.
    size_t read(uint8_t *out, size_t n);
    uint64_t offset() const { return base_ + pos_; } // of the next byte

  private:
    bool fill();

    std::FILE *file_ = nullptr;
    std::vector<uint8_t> buffer_;
    const uint8_t *data_ = nullptr;
    size_t pos_ = 0, len_ = 0;
    uint64_t base_ = 0;
};

enum class ElementType : uint8_t { UByte, UInt16, UInt32, SInt16, SInt32, Real32 };
enum class Shape : uint8_t { Scalar, XY, Box, Array };

// One data value of the stream: a scalar, an xy pair, a box or an array.
struct Value {
    uint8_t tag = 0;
    ElementType type = ElementType::UByte;
    Shape shape = Shape::Scalar;
    uint32_t count = 0;           // elements in the value (1, 2, 4 or the array length)
    std::vector<double> elements; // the first kMaxStoredElements of them
    static constexpr uint32_t kMaxStoredElements = 65536;

    double number(size_t i = 0) const { return i < elements.size() ? elements[i] : 0.0; }
    // number(i) for counts, sizes and enumerations: truncated toward zero and
    // held to -2^31 .. 2^32 - 1 (NaN gives 0), so that whatever a stream
    // holds converts to an integer type without undefined behaviour.
    int64_t integer(size_t i = 0) const;
    std::string bytes() const; // the elements of a ubyte array as bytes
};

struct Attribute {
    uint16_t id = 0;
    uint64_t offset = 0; // of the value's tag
    Value value;
};

// An operator with the attributes before it and the data block after it.
struct Command {
    uint64_t offset = 0; // of the operator byte
    uint8_t op = 0;
    std::vector<Attribute> attributes;
    bool has_data = false;
    uint64_t data_offset = 0; // of the first data byte
    uint32_t data_length = 0;
    std::string data_note; // what the data block held, for the listing

    const Value *find(uint16_t id) const;
};

struct PageInfo {
    uint64_t offset = 0;
    std::string media_size; // name of the MediaSize enumeration, its text, or a custom size
    std::string media_source;
    std::string media_type;
    std::string orientation;
    std::string duplex; // DuplexPageMode, empty for simplex
    uint32_t copies = 1;
};

struct ImageInfo {
    uint64_t offset = 0; // of BeginImage or BeginRastPattern
    unsigned number = 0; // 1, 2, ... in stream order
    unsigned page = 0;   // 0 outside a page
    bool pattern = false;
    uint32_t width = 0, height = 0;
    int color_mapping = 0; // eDirectPixel / eIndexedPixel
    int color_space = enums::eGray;
    int depth = 8;      // bits per component (direct) or per index (indexed)
    int components = 1; // samples per pixel in the data: 1 for gray and indexed, 3 for RGB
    uint32_t row_bytes = 0;
    std::vector<uint8_t> palette; // for indexed images: entries of `palette_components` bytes
    int palette_components = 1;
    unsigned compressions = 0; // bit set: 1 << CompressMode of each block
    uint32_t blocks = 0;
    uint32_t rows = 0; // rows delivered so far
    bool jpeg = false; // true once a JPEG block was seen
};

struct FontInfo {
    uint64_t offset = 0;
    std::string name;
    int format = 0;
    int technology = -1; // 254 bitmap, 1 TrueType
    uint16_t x_resolution = 0, y_resolution = 0;
    uint32_t characters = 0;
};

struct Summary {
    uint64_t total_bytes = 0;
    unsigned pjl_lines = 0;
    std::string stream_header; // the last stream header line
    bool big_endian = false;
    std::vector<PageInfo> pages;
    uint64_t operators = 0;
    std::map<std::string, uint64_t> operator_counts;
    std::vector<ImageInfo> images;
    std::vector<FontInfo> fonts;
    uint64_t jpeg_blocks = 0;
    // How the job ends, for check_complete().
    unsigned streams = 0;       // PCL XL stream headers read
    unsigned sessions = 0;      // sessions closed by EndSession
    bool pjl_job = false;       // an @PJL JOB line was read
    bool eoj = false;           // an @PJL EOJ line came after the last stream
    bool stream_closed = false; // the last stream ended with the UEL
    bool ends_with_uel = false; // nothing but line ends after the last UEL
};

struct Error {
    uint64_t offset = 0;
    std::string message; // what was expected and what was found
};

// What the reader reports while it reads. Every method has an empty default.
class Listener {
  public:
    virtual ~Listener() = default;
    // A PJL line without its line end; the UEL is reported as "<UEL>".
    virtual void pjl_line(uint64_t offset, const std::string &line);
    virtual void stream_header(uint64_t offset, const std::string &line);
    // An operator, once its data block (if any) has been read and checked.
    virtual void command(const Command &command);
    virtual void image_begin(const ImageInfo &image);
    // One decoded row of image.row_bytes bytes, without padding.
    virtual void image_row(const ImageInfo &image, uint32_t row, const uint8_t *pixels);
    virtual void image_end(const ImageInfo &image);
    // The data of a JPEG block, which the reader does not decode: in
    // pieces, then the end of the block with the rows it stands for.
    virtual void jpeg_data(const ImageInfo &image, const uint8_t *data, size_t n);
    virtual void jpeg_block_end(const ImageInfo &image, uint32_t start_line, uint32_t rows);
};

// Reads a whole job. Returns true for a well-formed job; otherwise false
// with `error` naming the offset of the fault. `summary` holds what was read
// up to the end or the fault.
bool read_job(Source &source, Listener &listener, Summary &summary, Error &error);

// Whether a job that read_job() accepted is also whole: not empty, with a
// PCL XL stream holding at least one session and closed by the UEL, the
// @PJL EOJ of a job that began with @PJL JOB, and the UEL at its very
// end. Otherwise false, with `error` at the end of the input saying what
// is missing.
bool check_complete(const Summary &summary, Error &error);

// "MediaSize=eA4Paper", "Point=(10,20)", "FontName=\"12BMabc\"", ...
std::string format_attribute(const Attribute &attribute);
// "BeginPage Orientation=ePortraitOrientation ... [data 18 bytes]"
std::string format_command(const Command &command);

} // namespace pclxl_reader

#endif
