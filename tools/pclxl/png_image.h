// Writes the decoded images of a job as PNG files, row by row as the reader
// delivers them: gray or RGB, 8 bits per sample, with indexed images
// looked up in their palette.
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
    // set) if the file cannot be created.
    bool open(const std::string &path, const pclxl_reader::ImageInfo &image);
    // One row of image.row_bytes bytes as the reader decoded it.
    void write_row(const uint8_t *pixels);
    // Fills any rows the stream did not carry with zeros and closes the
    // file. Returns false if writing failed.
    bool close();
    bool is_open() const { return file_ != nullptr; }

  private:
    void convert(const uint8_t *pixels);

    std::FILE *file_ = nullptr;
    void *png_ = nullptr;  // png_structp
    void *info_ = nullptr; // png_infop
    pclxl_reader::ImageInfo image_;
    int out_components_ = 1;
    uint32_t rows_written_ = 0;
    bool failed_ = false;
    std::vector<uint8_t> out_;
};

} // namespace pclxl_tool

#endif
