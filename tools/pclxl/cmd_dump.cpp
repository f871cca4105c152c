// pclxl dump: reads a PJL / PCL XL job, lists or summarises it, and checks
// it on the way. Exit status 0 for a well-formed job, 1 for a malformed one
// (with a message naming the byte offset), 2 for usage and file errors.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "commands.h"
#include "file_io.h"
#include "jpeg_block.h"
#include "png_image.h"
#include "reader.h"
#include "text_line.h"

namespace pclxl_tool {

using pclxl_host::one_line;

namespace {

using namespace pclxl_reader;

const char kUsage[] = "usage: pclxl dump [--summary] [--images DIR] FILE|-\n"
                      "\n"
                      "Reads a PJL / PCL XL print job and checks it.\n"
                      "  (default)      one line per operator: its byte offset, name and\n"
                      "                 attributes; PJL lines as they are\n"
                      "  --summary      pages, operator counts, images, fonts and size instead\n"
                      "  --images DIR   write each decoded image to DIR as image-NNN.png\n"
                      "                 (raster patterns as pattern-NNN.png; JPEG blocks are\n"
                      "                 decoded with libjpeg)\n"
                      "FILE - reads standard input. Exit status: 0 a well-formed, complete job;\n"
                      "1 malformed or incomplete (an empty input, no PCL XL stream or session,\n"
                      "no trailer); 2 usage or file error.\n";

class DumpListener : public Listener {
  public:
    DumpListener(bool listing, const char *images_dir)
        : listing_(listing), images_dir_(images_dir) {}

    void pjl_line(uint64_t, const std::string &line) override {
        if (listing_)
            std::printf("%s\n", line.c_str());
    }
    void stream_header(uint64_t, const std::string &line) override {
        if (listing_)
            std::printf("%s\n", line.c_str());
    }
    void command(const pclxl_reader::Command &command) override {
        if (listing_)
            std::printf("%llu: %s\n", static_cast<unsigned long long>(command.offset),
                        format_command(command).c_str());
    }
    void image_begin(const ImageInfo &image) override {
        if (!images_dir_ || image.width == 0 || image.height == 0)
            return;
        char name[48];
        std::snprintf(name, sizeof name, "/%s-%03u.png", image.pattern ? "pattern" : "image",
                      image.number);
        path_ = std::string(images_dir_) + name;
        png_ = std::make_unique<PngImage>();
        if (!png_->open(path_, image)) {
            std::fprintf(stderr, "pclxl dump: %s: %s\n", one_line(path_).c_str(),
                         std::strerror(errno));
            write_failed_ = true;
            png_.reset();
        }
    }
    void image_row(const ImageInfo &, uint32_t, const uint8_t *pixels) override {
        if (png_)
            png_->write_row(pixels);
    }
    void image_end(const ImageInfo &image) override { finish_image(&image); }

    // JPEG blocks are decoded here rather than in the reader, which keeps
    // the reader free of libjpeg; a block is held in memory until it ends.
    void jpeg_data(const ImageInfo &, const uint8_t *data, size_t n) override {
        if (png_ && jpeg_error_.empty())
            jpeg_block_.insert(jpeg_block_.end(), data, data + n);
    }
    void jpeg_block_end(const ImageInfo &image, uint32_t, uint32_t rows) override {
        if (!png_ || !jpeg_error_.empty())
            return;
        if (image.color_mapping != enums::eDirectPixel || image.depth != 8)
            jpeg_error_ = "JPEG data in an image that is not 8-bit direct colour";
        else
            jpeg_error_ = decode_jpeg_block(jpeg_block_, image.width, image.components, rows,
                                            [this](const uint8_t *row) { png_->write_row(row); });
        jpeg_block_.clear();
    }

    // Closes an image the stream left open (a malformed job).
    void finish_image(const ImageInfo *image) {
        if (!png_)
            return;
        if (!jpeg_error_.empty()) {
            png_.reset();
            std::remove(path_.c_str());
            std::fprintf(stderr, "pclxl dump: image %u not written: %s\n",
                         image ? image->number : 0, one_line(jpeg_error_).c_str());
            jpeg_error_.clear();
            return;
        }
        if (!png_->close()) {
            std::fprintf(stderr, "pclxl dump: %s: write failed\n", one_line(path_).c_str());
            write_failed_ = true;
        }
        png_.reset();
    }

    bool write_failed() const { return write_failed_; }

  private:
    bool listing_;
    const char *images_dir_;
    std::string path_;
    std::unique_ptr<PngImage> png_;
    std::vector<uint8_t> jpeg_block_;
    std::string jpeg_error_;
    bool write_failed_ = false;
};

const char *compression_name(int mode) {
    switch (mode) {
    case enums::eNoCompression: return "uncompressed";
    case enums::eRLECompression: return "run-length";
    case enums::eJPEGCompression: return "JPEG";
    case enums::eDeltaRowCompression: return "delta-row";
    }
    return "?";
}

std::string image_text(const ImageInfo &image) {
    std::string text = std::to_string(image.width) + "x" + std::to_string(image.height) + ", " +
                       std::to_string(image.depth) + "-bit ";
    const char *space = image.color_space == enums::eGray  ? "gray"
                        : image.color_space == enums::eRGB ? "RGB"
                                                           : "sRGB";
    if (image.color_mapping == enums::eIndexedPixel)
        text += std::string("indexed (") + space + " palette of " +
                std::to_string(image.palette.size() / size_t(image.palette_components)) +
                " entries)";
    else
        text += std::string(space) + " direct";
    std::string modes;
    for (int mode = enums::eNoCompression; mode <= enums::eDeltaRowCompression; ++mode)
        if (image.compressions & (1u << mode))
            modes += std::string(modes.empty() ? "" : "+") + compression_name(mode);
    text += ", " + (modes.empty() ? std::string("no data") : modes) + ", " +
            std::to_string(image.blocks) + (image.blocks == 1 ? " block" : " blocks");
    if (image.rows != image.height)
        text += ", " + std::to_string(image.rows) + " rows";
    return text;
}

void print_summary(const Summary &s) {
    if (!s.stream_header.empty())
        std::printf("stream: %s (binary, %s byte first)\n", s.stream_header.c_str(),
                    s.big_endian ? "high" : "low");
    std::printf("PJL lines: %u\n", s.pjl_lines);
    std::printf("pages: %zu\n", s.pages.size());
    for (size_t i = 0; i < s.pages.size(); ++i) {
        const PageInfo &p = s.pages[i];
        std::printf("  page %zu: media %s", i + 1,
                    p.media_size.empty() ? "-" : p.media_size.c_str());
        if (!p.media_source.empty())
            std::printf(", source %s", p.media_source.c_str());
        if (!p.media_type.empty())
            std::printf(", type \"%s\"", p.media_type.c_str());
        if (!p.duplex.empty())
            std::printf(", %s", p.duplex.c_str());
        std::printf(", copies %u\n", p.copies);
    }
    std::printf("operators: %llu\n", static_cast<unsigned long long>(s.operators));
    for (const auto &[name, count] : s.operator_counts)
        std::printf("  %s %llu\n", name.c_str(), static_cast<unsigned long long>(count));
    std::printf("images: %zu\n", s.images.size());
    for (const ImageInfo &image : s.images) {
        std::printf("  %s %u", image.pattern ? "pattern" : "image", image.number);
        if (image.page)
            std::printf(" (page %u)", image.page);
        std::printf(": %s\n", image_text(image).c_str());
    }
    if (s.jpeg_blocks)
        std::printf("JPEG blocks: %llu\n", static_cast<unsigned long long>(s.jpeg_blocks));
    std::printf("fonts: %zu\n", s.fonts.size());
    for (const FontInfo &f : s.fonts) {
        std::printf("  font \"%s\": ", f.name.c_str());
        if (f.technology == 254)
            std::printf("bitmap %ux%u dpi", f.x_resolution, f.y_resolution);
        else if (f.technology == 1)
            std::printf("TrueType");
        else
            std::printf("technology %d", f.technology);
        std::printf(", %u characters\n", f.characters);
    }
    std::printf("total bytes: %llu\n", static_cast<unsigned long long>(s.total_bytes));
}

} // namespace

int cmd_dump(int argc, char **argv) {
    bool summary_only = false;
    const char *images_dir = nullptr;
    const char *path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--summary") {
            summary_only = true;
        } else if (arg == "--images" && i + 1 < argc) {
            images_dir = argv[++i];
        } else if (!path && (arg == "-" || arg.empty() || arg[0] != '-')) {
            path = argv[i];
        } else {
            std::fprintf(stderr, "pclxl dump: unexpected argument '%s'\n%s", argv[i], kUsage);
            return 2;
        }
    }
    if (!path) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (images_dir && mkdir(images_dir, 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "pclxl dump: %s: %s\n", one_line(images_dir).c_str(),
                     std::strerror(errno));
        return 2;
    }
    const bool from_stdin = std::strcmp(path, "-") == 0;
    std::FILE *file = from_stdin ? stdin : open_file(path, "rb");
    if (!file) {
        std::fprintf(stderr, "pclxl dump: %s: %s\n", one_line(path).c_str(), std::strerror(errno));
        return 2;
    }
    Source source(file);
    DumpListener listener(!summary_only, images_dir);
    Summary summary;
    Error error;
    const bool ok = read_job(source, listener, summary, error) && check_complete(summary, error);
    listener.finish_image(nullptr);
    const bool read_failed = std::ferror(file) != 0;
    if (!from_stdin)
        std::fclose(file);
    if (summary_only)
        print_summary(summary);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "pclxl dump: writing the listing failed: %s\n", std::strerror(errno));
        return 2;
    }
    if (read_failed) {
        std::fprintf(stderr, "pclxl dump: %s: read error\n", one_line(path).c_str());
        return 2;
    }
    if (!ok) {
        std::fprintf(stderr, "pclxl dump: %s: offset %llu: %s\n",
                     from_stdin ? "<stdin>" : one_line(path).c_str(),
                     static_cast<unsigned long long>(error.offset),
                     one_line(error.message).c_str());
        return 1;
    }
    return listener.write_failed() ? 2 : 0;
}

} // namespace pclxl_tool
