// Helpers for the reader tests: streams written as hex, and a listener that
// records what the reader reports.
#ifndef PCLXL_TESTS_DUMP_SUPPORT_H
#define PCLXL_TESTS_DUMP_SUPPORT_H

#include <string>
#include <vector>

#include "capture.h"
#include "reader.h"

namespace dump_test {

using pclxl_test::Bytes;

// "C0 00 | F8 28": bytes from hex pairs; blanks are ignored, and `|` marks
// a position, stored in *mark (the offset of the byte after it).
inline Bytes from_hex(const std::string &text, int64_t *mark = nullptr) {
    const size_t bar = text.find('|');
    if (bar != std::string::npos && mark)
        *mark = int64_t(pclxl_test::hex(text.substr(0, bar)).size());
    return pclxl_test::hex(bar == std::string::npos ? text
                                                    : text.substr(0, bar) + text.substr(bar + 1));
}

// The stream header line, low byte first, and the session, data source and
// page operators around `body` as the library writes them.
const std::string kHeader = "29 20 48 50 2D 50 43 4C 20 58 4C 3B 33 3B 30 3B 0D 0A";
inline std::string in_page(const std::string &body) {
    return kHeader + " D1 58 02 58 02 F8 89 C0 00 F8 86 41 C0 00 F8 88 C0 01 F8 82 48 " // session
           + "C0 00 F8 28 C0 02 F8 25 43 " + body + " 44 49 42";                        // page
}

// Text as hex, and a whole job around a page with `body` (the PJL header
// and trailer as the library writes them).
inline std::string text_hex(const std::string &text) {
    return pclxl_test::to_hex(pclxl_test::bytes_of(text));
}
const std::string kUel = "1B 25 2D 31 32 33 34 35 58";
inline std::string in_job(const std::string &body) {
    return kUel + text_hex("@PJL JOB\r\n@PJL ENTER LANGUAGE=PCLXL\r\n") + in_page(body) + kUel +
           text_hex("@PJL EOJ\r\n") + kUel;
}

struct Recorder : pclxl_reader::Listener {
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

inline Result read_bytes(const Bytes &bytes) {
    Result r;
    pclxl_reader::Source source(bytes.data(), bytes.size());
    r.ok = pclxl_reader::read_job(source, r.recorder, r.summary, r.error);
    return r;
}

} // namespace dump_test

#endif
