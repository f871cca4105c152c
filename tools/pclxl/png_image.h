// Writes the decoded images of a job as PNG files: gray or RGB, 8 bits per
// sample, with indexed images looked up in their palette. Rows are kept in
// an unnamed temporary file as the reader delivers them, and the PNG holds
// the rows the stream carried, however many its image declared: work and
// space follow the data.
#ifndef PCLXL_TOOL_PNG_IMAGE_H
#define PCLXL_TOOL_PNG_IMAGE_H

#include <cstdio>
#include <string>
#include <vector>

#include "reader.h"

namespace pclxl_tool {

class PngImage {
  public:
    PngImage() = default;
    ~PngImage();
    PngImage(const PngImage &) = delete;
    PngImage &operator=(const PngImage &) = delete;

    // Opens `path` for an image of this shape. Returns false (with errno
    // set) if it or the temporary file cannot be created.
    bool open(const std::string &path, const pclxl_reader::ImageInfo &image);
    // One row of image.row_bytes bytes as the reader decoded it.
    void write_row(const uint8_t *pixels);
    // Writes the PNG of the rows received and closes the file; with no
    // rows, removes it. Returns false if writing failed.
    bool close();
    bool is_open() const { return file_ != nullptr; }

  private:
    void convert(const uint8_t *pixels);
    bool write_png();

    std::FILE *file_ = nullptr;
    std::FILE *rows_ = nullptr; // the rows so far, out_.size() bytes each
    std::string path_;
    pclxl_reader::ImageInfo image_;
    int out_components_ = 1;
    uint32_t rows_written_ = 0;
    bool failed_ = false;
    std::vector<uint8_t> out_;
};

} // namespace pclxl_tool

#endif
