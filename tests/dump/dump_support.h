// Helpers for the reader tests: streams written as hex, and a listener that
// records what the reader reports.
#ifndef PCLXL_TESTS_DUMP_SUPPORT_H
#define PCLXL_TESTS_DUMP_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "reader.h"

namespace dump_test {

using Bytes = std::vector<uint8_t>;

// "C0 00 | F8 28": bytes from hex pairs; blanks are ignored, and `|` marks
// a position, stored in *mark (the offset of the byte after it).
Bytes from_hex(const std::string &text, int64_t *mark = nullptr);

// The stream header line, low byte first, and the session, data source and
// page operators around `body` as the library writes them.
extern const char *const kHeader;
std::string in_session(const std::string &body);
std::string in_page(const std::string &body);
// Text as hex, and a whole job around a page with `body` (the PJL header
// and trailer as the library writes them).
std::string text_hex(const std::string &text);
extern const char *const kUel;
std::string in_job(const std::string &body);

class Recorder : public pclxl_reader::Listener {
  public:
    void command(const pclxl_reader::Command &c) override { commands.push_back(c); }
    void image_row(const pclxl_reader::ImageInfo &image, uint32_t, const uint8_t *px) override {
        if (rows.size() < image.number)
            rows.resize(image.number);
        rows[image.number - 1].emplace_back(px, px + image.row_bytes);
    }
    std::vector<pclxl_reader::Command> commands;
    std::vector<std::vector<Bytes>> rows; // per image, its rows
};

struct Result {
    bool ok = false;
    pclxl_reader::Error error;
    pclxl_reader::Summary summary;
    Recorder recorder;
};

Result read_bytes(const Bytes &bytes);

// The pixels of a PNG file as 8-bit samples, and their number per pixel;
// empty if the file cannot be read.
Bytes read_png(const std::string &path, int *channels);

} // namespace dump_test

#endif
