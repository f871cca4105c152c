// The job reader: PJL lines, the stream header, the binary PCL XL stream,
// and the checks that tie operators together (sessions, pages, images,
// fonts).
#include "reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>

#include "failure.h"
#include "fonts.h"
#include "image_data.h"

namespace pclxl_reader {

namespace {

constexpr char kUel[] = "\x1b%-12345X";
constexpr size_t kUelBytes = sizeof kUel - 1;
constexpr size_t kMaxLineBytes = 4096;
constexpr size_t kMaxAttributes = 64; // no operator takes nearly as many
constexpr size_t kMaxGraphicsStates = 256;
constexpr uint32_t kMaxImageSide = 65535;
constexpr size_t kMaxPaletteBytes = 256 * 3;
constexpr uint32_t kDefaultPadBytes = 4;
constexpr char kStreamClass[] = " HP-PCL XL;";

std::string hex_byte(int b) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%02X", unsigned(b) & 0xFFu);
    return buf;
}

// How a byte reads in messages: "operator BeginPage (0x43)", "the end of the stream".
std::string describe(int b) {
    if (b < 0)
        return "the end of the stream";
    if (const char *name = operator_name(uint8_t(b)))
        return std::string("operator ") + name + " (" + hex_byte(b) + ")";
    if (const char *name = tag_name(uint8_t(b)))
        return std::string(name) + " tag (" + hex_byte(b) + ")";
    return "byte " + hex_byte(b);
}

std::string at_offset(uint64_t offset) { return "offset " + std::to_string(offset); }

bool is_value_tag(uint8_t t) {
    const uint8_t group = t & 0xF8, element = t & 0x07;
    return element <= 5 && (group == 0xC0 || group == 0xC8 || group == 0xD0 || group == 0xE0);
}

unsigned element_bytes(ElementType t) {
    switch (t) {
    case ElementType::UByte: return 1;
    case ElementType::UInt16:
    case ElementType::SInt16: return 2;
    default: return 4;
    }
}

// Path operators that may take their points as a data block, x and y of
// each point as PointType (eUByte, eSByte, eUInt16, eSInt16) values.
bool takes_points(uint8_t code) {
    return code == op::LinePath || code == op::LineRelPath || code == op::BezierPath ||
           code == op::BezierRelPath;
}

// Operators followed by a data block; the first group must have one.
bool requires_data(uint8_t code) {
    return code == op::ReadImage || code == op::ReadRastPattern || code == op::ReadChar ||
           code == op::ReadFontHeader || code == op::ReadStream;
}
bool allows_data(uint8_t code) {
    return requires_data(code) || code == op::VendorUnique || code == op::PassThrough ||
           code == op::ScanLineRel || takes_points(code);
}

struct GraphicsState {
    int color_space = enums::eGray;
    int palette_depth = enums::e8Bit;
    std::vector<uint8_t> palette;
};

// What is open between a Begin and its End operator. Only the operators of
// the block and Comment may come between them.
struct Block {
    uint8_t begin = 0;
    uint64_t offset = 0;
    uint8_t read = 0, end = 0;
};

class JobReader {
  public:
    JobReader(Source &source, Listener &listener, Summary &summary)
        : src_(source), listener_(listener), summary_(summary) {}

    void run() {
        for (;;) {
            if (!read_pjl())
                return;
            if (!read_binary())
                return;
        }
    }

  private:
    // ---- PJL and the stream header ----

    // Reads PJL until a PCL XL stream starts (true) or the input ends (false).
    bool read_pjl() {
        bool enter_pclxl = false;
        for (;;) {
            const uint64_t at = src_.offset();
            const int c = src_.peek();
            if (c < 0) {
                if (enter_pclxl)
                    fail(at, "expected the PCL XL stream header line after ENTER LANGUAGE=PCLXL, "
                             "found the end of the stream");
                return false;
            }
            if (c == kEscape) {
                read_uel(at);
                continue;
            }
            std::string line = read_line(at);
            if (line.size() > sizeof kStreamClass &&
                std::memcmp(line.data() + 1, kStreamClass, sizeof kStreamClass - 1) == 0) {
                stream_header(at, line);
                return true;
            }
            if (enter_pclxl)
                fail(at, "expected the PCL XL stream header line (\") HP-PCL XL;...\"), found \"" +
                             printable(line) + "\"");
            if (line.empty())
                continue;
            if (line.compare(0, 4, "@PJL") != 0)
                fail(at, "expected a PJL line (@PJL ...) or the UEL, found \"" + printable(line) +
                             "\"");
            ++summary_.pjl_lines;
            summary_.ends_with_uel = false;
            if (starts_with_word(line, "@PJL JOB"))
                summary_.pjl_job = true;
            else if (starts_with_word(line, "@PJL EOJ") && summary_.streams > 0)
                summary_.eoj = true;
            listener_.pjl_line(at, line);
            enter_pclxl = is_enter_pclxl(line, at);
        }
    }

    void read_uel(uint64_t at) {
        char buf[kUelBytes];
        const size_t got = src_.read(reinterpret_cast<uint8_t *>(buf), kUelBytes);
        if (got != kUelBytes || std::memcmp(buf, kUel, kUelBytes) != 0)
            fail(at, "expected the UEL (ESC %-12345X)");
        summary_.ends_with_uel = true;
        listener_.pjl_line(at, "<UEL>");
    }

    // A line up to LF, without CR LF. PJL lines are short; a longer one means
    // this is not PJL at all.
    std::string read_line(uint64_t at) {
        std::string line;
        for (;;) {
            const int c = src_.get();
            if (c < 0 || c == '\n')
                break;
            if (line.size() == kMaxLineBytes)
                fail(at, "expected a PJL line or the stream header, found " +
                             std::to_string(kMaxLineBytes) + " bytes without a line end");
            line += char(c);
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    }

    // "@PJL EOJ" or "@PJL EOJ NAME=...", in any case.
    static bool starts_with_word(const std::string &line, const char *word) {
        const size_t n = std::strlen(word);
        if (line.size() < n || (line.size() > n && line[n] != ' ' && line[n] != '\t'))
            return false;
        for (size_t i = 0; i < n; ++i)
            if (std::toupper(static_cast<unsigned char>(line[i])) != word[i])
                return false;
        return true;
    }

    static std::string printable(const std::string &s) {
        std::string out;
        for (char c : s.substr(0, 60))
            out += (c >= 0x20 && c < 0x7F) ? c : '.';
        return out;
    }

    // "@PJL ENTER LANGUAGE=PCLXL" (case and blanks as PJL allows).
    static bool is_enter_pclxl(const std::string &line, uint64_t at) {
        std::string words;
        for (char c : line)
            if (c != ' ' && c != '\t')
                words += char(std::toupper(static_cast<unsigned char>(c)));
        const std::string enter = "@PJLENTERLANGUAGE=";
        if (words.compare(0, enter.size(), enter) != 0)
            return false;
        if (words.substr(enter.size()) != "PCLXL")
            fail(at,
                 "ENTER LANGUAGE switches to " + words.substr(enter.size()) + " (expected PCLXL)");
        return true;
    }

    void stream_header(uint64_t at, const std::string &line) {
        switch (uint8_t(line[0])) {
        case kBindingLowByteFirst: big_endian_ = false; break;
        case kBindingHighByteFirst: big_endian_ = true; break;
        case kBindingAscii: fail(at, "the stream uses the ASCII binding (expected a binary one)");
        default:
            fail(at,
                 "stream header binding " + hex_byte(uint8_t(line[0])) + " (expected ')' or '(')");
        }
        data_big_endian_ = big_endian_;
        ++summary_.streams;
        summary_.stream_closed = summary_.eoj = summary_.ends_with_uel = false;
        summary_.stream_header = line;
        summary_.big_endian = big_endian_;
        listener_.stream_header(at, line);
    }

    // ---- The binary stream ----

    // Reads tokens until the UEL (true) or the end of the input (false).
    bool read_binary() {
        std::vector<Attribute> attributes;
        std::optional<Attribute> value; // a value still waiting for its attribute tag
        for (;;) {
            const uint64_t at = src_.offset();
            const int c = src_.get();
            if (c >= 0 && is_whitespace(uint8_t(c)))
                continue;
            if (c < 0 || c == kEscape) {
                if (value)
                    fail(value->offset,
                         "expected an attribute tag (F8) after the value, found " +
                             std::string(c < 0 ? "the end of the stream" : "the UEL") + " at " +
                             at_offset(at));
                if (!attributes.empty())
                    fail(attributes.front().offset,
                         "attributes without an operator (expected an operator before " +
                             std::string(c < 0 ? "the end of the stream" : "the UEL") + " at " +
                             at_offset(at) + ")");
                end_of_stream(at, c < 0 ? "the end of the stream" : "the UEL");
                if (c < 0)
                    return false;
                uint8_t rest[kUelBytes - 1];
                if (src_.read(rest, sizeof rest) != sizeof rest ||
                    std::memcmp(rest, kUel + 1, sizeof rest) != 0)
                    fail(at, "unknown tag 0x1B (expected the UEL, ESC %-12345X)");
                summary_.stream_closed = summary_.ends_with_uel = true;
                listener_.pjl_line(at, "<UEL>");
                return true;
            }
            const uint8_t t = uint8_t(c);
            if (is_value_tag(t)) {
                if (value)
                    fail(at, "expected an attribute tag (F8) after the value at " +
                                 at_offset(value->offset) + ", found another value (" +
                                 describe(t) + ")");
                value.emplace();
                value->offset = at;
                read_value(t, at, value->value);
            } else if (t == tag::Attribute || t == tag::Attribute16) {
                if (!value)
                    fail(at, "attribute tag without a value (expected a data value before it)");
                value->id = t == tag::Attribute ? uint16_t(need(1, "attribute id", at))
                                                : uint16_t(need(2, "attribute id", at));
                if (attributes.size() == kMaxAttributes)
                    fail(at, "more than " + std::to_string(kMaxAttributes) +
                                 " attributes (expected an operator)");
                attributes.push_back(std::move(*value));
                value.reset();
            } else if (t == tag::DataLength || t == tag::DataLengthByte) {
                fail(at, "embedded data without an operator that reads it");
            } else if (operator_name(t)) {
                if (value)
                    fail(value->offset, "expected an attribute tag (F8) after the value, found " +
                                            describe(t) + " at " + at_offset(at));
                run_operator(t, at, std::move(attributes));
                attributes.clear();
            } else {
                fail(at, "unknown tag " + hex_byte(t));
            }
        }
    }

    // An unsigned number of 1, 2 or 4 bytes in the stream's byte order.
    uint32_t need(unsigned bytes, const char *what, uint64_t at) {
        uint8_t b[4];
        const size_t got = src_.read(b, bytes);
        if (got != bytes)
            fail(at, std::string("stream ends inside the ") + what + " (expected " +
                         std::to_string(bytes) + " bytes, found " + std::to_string(got) + ")");
        return unpack(b, bytes, big_endian_);
    }

    static uint32_t unpack(const uint8_t *b, unsigned bytes, bool big) {
        uint32_t v = 0;
        for (unsigned i = 0; i < bytes; ++i)
            v |= uint32_t(b[big ? i : bytes - 1 - i]) << (8 * (bytes - 1 - i));
        return v;
    }

    double element(const uint8_t *b, ElementType type) const {
        const uint32_t u = unpack(b, element_bytes(type), big_endian_);
        switch (type) {
        case ElementType::SInt16: return int16_t(u);
        case ElementType::SInt32: return int32_t(u);
        case ElementType::Real32: {
            float f;
            std::memcpy(&f, &u, sizeof f);
            return f;
        }
        default: return u;
        }
    }

    void read_value(uint8_t t, uint64_t at, Value &v) {
        v.tag = t;
        v.type = ElementType(t & 0x07);
        switch (t & 0xF8) {
        case 0xC0: v.shape = Shape::Scalar, v.count = 1; break;
        case 0xC8: v.shape = Shape::Array; break;
        case 0xD0: v.shape = Shape::XY, v.count = 2; break;
        default: v.shape = Shape::Box, v.count = 4; break;
        }
        const unsigned size = element_bytes(v.type);
        if (v.shape == Shape::Array) {
            const uint64_t length_at = src_.offset();
            const int lt = src_.get();
            if (lt != tag::UByte && lt != tag::UInt16 && lt != tag::UInt32)
                fail(length_at, std::string("expected the length of the ") + tag_name(t) +
                                    " (a ubyte, uint16 or uint32 value), found " + describe(lt));
            v.count = need(lt == tag::UByte    ? 1
                           : lt == tag::UInt16 ? 2
                                               : 4,
                           "array length", length_at);
        }
        uint8_t buf[4096];
        uint64_t left = uint64_t(v.count) * size;
        while (left > 0) {
            const size_t want = size_t(std::min<uint64_t>(left, sizeof buf));
            const size_t got = src_.read(buf, want);
            if (got != want)
                fail(at, std::string("stream ends inside a ") + tag_name(t) + " value (expected " +
                             std::to_string(uint64_t(v.count) * size) +
                             " bytes of elements, found " +
                             std::to_string(uint64_t(v.count) * size - left + got) + ")");
            for (size_t i = 0; i + size <= got && v.elements.size() < Value::kMaxStoredElements;
                 i += size)
                v.elements.push_back(element(buf + i, v.type));
            left -= got;
        }
    }

    // ---- Operators ----

    void run_operator(uint8_t code, uint64_t at, std::vector<Attribute> attributes) {
        Command cmd;
        cmd.offset = at;
        cmd.op = code;
        cmd.attributes = std::move(attributes);
        ++summary_.operators;
        ++summary_.operator_counts[operator_name(code)];

        while (src_.peek() >= 0 && is_whitespace(uint8_t(src_.peek())))
            src_.get();
        const uint64_t length_at = src_.offset();
        const int next = src_.peek();
        if (next == tag::DataLength || next == tag::DataLengthByte) {
            if (!allows_data(code))
                fail(length_at, std::string("embedded data after ") + operator_name(code) +
                                    ", which reads none");
            src_.get();
            cmd.has_data = true;
            cmd.data_length = need(next == tag::DataLength ? 4 : 1, "data length", length_at);
            cmd.data_offset = src_.offset();
        } else if (requires_data(code)) {
            fail(length_at, std::string("expected a data length tag (FA or FB) after ") +
                                operator_name(code) + ", found " + describe(next));
        }

        check_block(cmd);
        before_data(cmd);
        if (cmd.has_data)
            read_data(cmd);
        after_data(cmd);
        listener_.command(cmd);
        after_listing(cmd);
    }

    void read_data(Command &cmd) {
        uint8_t buf[1 << 16];
        uint64_t left = cmd.data_length, at = cmd.data_offset;
        while (left > 0) {
            const size_t want = size_t(std::min<uint64_t>(left, sizeof buf));
            const size_t got = src_.read(buf, want);
            if (got == 0)
                fail(src_.offset(), std::string("stream ends inside the data of ") +
                                        operator_name(cmd.op) + " (expected " +
                                        std::to_string(cmd.data_length) + " bytes from " +
                                        at_offset(cmd.data_offset) + ", found " +
                                        std::to_string(cmd.data_length - left) + ")");
            consume(cmd, buf, got, at);
            left -= got;
            at += got;
        }
    }

    void consume(const Command &cmd, const uint8_t *data, size_t n, uint64_t at) {
        switch (cmd.op) {
        case op::ReadImage:
        case op::ReadRastPattern:
            decoder_->feed(data, n, at);
            if (jpeg_block_)
                listener_.jpeg_data(summary_.images.back(), data, n);
            break;
        case op::ReadFontHeader: font_header_.feed(data, n, at); break;
        case op::ReadChar: char_->feed(data, n); break;
        default: break;
        }
    }

    // Only the operators of an open block (and Comment) may come inside it.
    void check_block(const Command &cmd) {
        if (!block_ || cmd.op == op::Comment || cmd.op == block_->read || cmd.op == block_->end)
            return;
        fail(cmd.offset, std::string(operator_name(cmd.op)) + " inside the " +
                             operator_name(block_->begin) + " at " + at_offset(block_->offset) +
                             " (expected " + operator_name(block_->read) + " or " +
                             operator_name(block_->end) + ")");
    }

    void open_block(const Command &cmd, uint8_t read, uint8_t end) {
        block_ = Block{cmd.op, cmd.offset, read, end};
    }

    void need_block(const Command &cmd, uint8_t begin) {
        if (!block_ || block_->begin != begin)
            fail(cmd.offset, std::string(operator_name(cmd.op)) + " without " +
                                 operator_name(begin) + " (expected " + operator_name(begin) +
                                 " first)");
    }

    const Value &need_attribute(const Command &cmd, uint16_t id) {
        const Value *v = cmd.find(id);
        if (!v)
            fail(cmd.offset, std::string(operator_name(cmd.op)) + " without its " +
                                 attribute_name(id) + " attribute");
        return *v;
    }

    static int64_t number_or(const Command &cmd, uint16_t id, int64_t fallback) {
        const Value *v = cmd.find(id);
        return v ? v->integer() : fallback;
    }

    void before_data(Command &cmd) {
        switch (cmd.op) {
        case op::BeginSession:
            if (session_)
                fail(cmd.offset, "BeginSession inside the session begun at " +
                                     at_offset(*session_) + " (expected EndSession first)");
            session_ = cmd.offset;
            fonts_.clear();
            break;
        case op::EndSession:
            if (!session_)
                fail(cmd.offset, "EndSession without BeginSession");
            if (data_source_)
                fail(cmd.offset, "EndSession while the data source opened at " +
                                     at_offset(*data_source_) +
                                     " is open (expected CloseDataSource)");
            session_.reset();
            ++summary_.sessions;
            break;
        case op::OpenDataSource:
            if (!session_)
                fail(cmd.offset, "OpenDataSource outside a session (expected BeginSession first)");
            if (data_source_)
                fail(cmd.offset, "OpenDataSource inside the data source opened at " +
                                     at_offset(*data_source_) +
                                     " (expected CloseDataSource first)");
            data_source_ = cmd.offset;
            if (const Value *org = cmd.find(attr::DataOrg))
                data_big_endian_ = org->number() == enums::eBinaryHighByteFirst;
            break;
        case op::CloseDataSource:
            if (!data_source_)
                fail(cmd.offset, "CloseDataSource without OpenDataSource");
            if (page_)
                fail(cmd.offset, "CloseDataSource while the page begun at " + at_offset(*page_) +
                                     " is open (expected EndPage)");
            data_source_.reset();
            data_big_endian_ = big_endian_;
            break;
        case op::BeginPage: begin_page(cmd); break;
        case op::EndPage:
            if (!page_)
                fail(cmd.offset, "EndPage without BeginPage");
            summary_.pages.back().copies = uint32_t(number_or(cmd, attr::PageCopies, 1));
            page_.reset();
            graphics_.assign(1, GraphicsState{});
            break;
        case op::PushGS:
            if (graphics_.size() == kMaxGraphicsStates)
                fail(cmd.offset,
                     "PushGS nested more than " + std::to_string(kMaxGraphicsStates) + " deep");
            graphics_.push_back(graphics_.back());
            break;
        case op::PopGS:
            if (graphics_.size() == 1)
                fail(cmd.offset, "PopGS without a matching PushGS");
            graphics_.pop_back();
            break;
        case op::SetColorSpace: set_color_space(cmd); break;
        case op::BeginImage:
        case op::BeginRastPattern: begin_image(cmd); break;
        case op::ReadImage: read_image(cmd, op::BeginImage); break;
        case op::ReadRastPattern: read_image(cmd, op::BeginRastPattern); break;
        case op::EndImage:
        case op::EndRastPattern:
            need_block(cmd, cmd.op == op::EndImage ? op::BeginImage : op::BeginRastPattern);
            break;
        case op::BeginFontHeader: begin_font_header(cmd); break;
        case op::ReadFontHeader: {
            need_block(cmd, op::BeginFontHeader);
            const uint32_t length = uint32_t(need_attribute(cmd, attr::FontHeaderLength).integer());
            if (length != cmd.data_length)
                fail(cmd.data_offset, "ReadFontHeader data is " + std::to_string(cmd.data_length) +
                                          " bytes; FontHeaderLength says " +
                                          std::to_string(length));
            break;
        }
        case op::EndFontHeader: end_font_header(cmd); break;
        case op::BeginChar: begin_char(cmd); break;
        case op::ReadChar: {
            need_block(cmd, op::BeginChar);
            need_attribute(cmd, attr::CharCode);
            const uint32_t size = uint32_t(need_attribute(cmd, attr::CharDataSize).integer());
            if (size != cmd.data_length)
                fail(cmd.data_offset, "ReadChar data is " + std::to_string(cmd.data_length) +
                                          " bytes; CharDataSize says " + std::to_string(size));
            char_ = std::make_unique<CharParser>(cmd.data_length);
            break;
        }
        case op::EndChar: need_block(cmd, op::BeginChar); break;
        case op::Text:
        case op::TextPath: check_spacing(cmd); break;
        case op::LinePath:
        case op::LineRelPath:
        case op::BezierPath:
        case op::BezierRelPath:
            if (cmd.has_data)
                check_points(cmd);
            break;
        case op::RemoveFont: fonts_.erase(need_attribute(cmd, attr::FontName).bytes()); break;
        case op::BeginStream: open_block(cmd, op::ReadStream, op::EndStream); break;
        case op::ReadStream:
        case op::EndStream: need_block(cmd, op::BeginStream); break;
        case op::BeginScan: open_block(cmd, op::ScanLineRel, op::EndScan); break;
        case op::ScanLineRel:
        case op::EndScan: need_block(cmd, op::BeginScan); break;
        default: break;
        }
    }

    void after_data(Command &cmd) {
        switch (cmd.op) {
        case op::ReadImage:
        case op::ReadRastPattern: {
            ImageInfo &image = summary_.images.back();
            const uint64_t end = cmd.has_data ? cmd.data_offset + cmd.data_length : cmd.offset;
            decoder_->end_block(end);
            if (jpeg_block_)
                listener_.jpeg_block_end(image, image.rows, decoder_->block_rows_done());
            image.rows += decoder_->block_rows_done();
            break;
        }
        case op::ReadChar:
            cmd.data_note = char_->finish(cmd.data_offset,
                                          uint32_t(need_attribute(cmd, attr::CharCode).integer()));
            if (font_ != SIZE_MAX)
                ++summary_.fonts[font_].characters;
            break;
        case op::ReadFontHeader: cmd.data_note = "font header"; break;
        case op::EndStream:
        case op::EndScan:
        case op::EndChar:
        case op::EndFontHeader: block_.reset(); break;
        default: break;
        }
    }

    void after_listing(const Command &cmd) {
        switch (cmd.op) {
        case op::BeginImage:
        case op::BeginRastPattern: listener_.image_begin(summary_.images.back()); break;
        case op::EndImage:
        case op::EndRastPattern:
            listener_.image_end(summary_.images.back());
            decoder_.reset();
            block_.reset();
            break;
        default: break;
        }
    }

    // Each character of a text run takes one spacing entry.
    void check_spacing(const Command &cmd) {
        const Value &text = need_attribute(cmd, attr::TextData);
        for (uint16_t id : {attr::XSpacingData, attr::YSpacingData})
            if (const Value *spacing = cmd.find(id))
                if (spacing->count != text.count)
                    fail(cmd.offset, std::string(operator_name(cmd.op)) + " with " +
                                         std::to_string(text.count) +
                                         " characters of TextData and " +
                                         std::to_string(spacing->count) + " entries of " +
                                         attribute_name(id) + " (expected as many)");
    }

    void check_points(const Command &cmd) {
        const uint64_t points =
            uint64_t(uint32_t(need_attribute(cmd, attr::NumberOfPoints).integer()));
        const int type = int(need_attribute(cmd, attr::PointType).integer());
        if (type < 0 || type > 3)
            fail(cmd.offset, "PointType " + std::to_string(type) +
                                 " (expected eUByte, eSByte, eUInt16 or eSInt16)");
        const uint64_t needed = points * 2 * (type < 2 ? 1 : 2);
        if (needed != cmd.data_length)
            fail(cmd.data_offset, std::string(operator_name(cmd.op)) + " data is " +
                                      std::to_string(cmd.data_length) + " bytes; " +
                                      std::to_string(points) + " points need " +
                                      std::to_string(needed));
    }

    void begin_page(const Command &cmd) {
        if (!data_source_)
            fail(cmd.offset, "BeginPage outside a data source (expected OpenDataSource first)");
        if (page_)
            fail(cmd.offset, "BeginPage inside the page begun at " + at_offset(*page_) +
                                 " (expected EndPage first)");
        page_ = cmd.offset;
        graphics_.assign(1, GraphicsState{});
        PageInfo page;
        page.offset = cmd.offset;
        if (const Value *size = cmd.find(attr::MediaSize))
            page.media_size =
                size->shape == Shape::Array ? size->bytes() : attribute_text(cmd, attr::MediaSize);
        else if (const Value *custom = cmd.find(attr::CustomMediaSize))
            page.media_size = "custom " + number_text(custom->number(0)) + "x" +
                              number_text(custom->number(1)) + " " +
                              attribute_text(cmd, attr::CustomMediaSizeUnits);
        if (cmd.find(attr::MediaSource))
            page.media_source = attribute_text(cmd, attr::MediaSource);
        if (const Value *type = cmd.find(attr::MediaType))
            page.media_type = type->bytes();
        if (cmd.find(attr::Orientation))
            page.orientation = attribute_text(cmd, attr::Orientation);
        if (cmd.find(attr::DuplexPageMode))
            page.duplex = attribute_text(cmd, attr::DuplexPageMode);
        summary_.pages.push_back(page);
    }

    static std::string number_text(double x) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", x);
        return buf;
    }

    static std::string attribute_text(const Command &cmd, uint16_t id) {
        for (auto it = cmd.attributes.rbegin(); it != cmd.attributes.rend(); ++it)
            if (it->id == id) {
                const std::string text = format_attribute(*it);
                return text.substr(text.find('=') + 1);
            }
        return "";
    }

    void set_color_space(const Command &cmd) {
        GraphicsState &gs = graphics_.back();
        gs.color_space = int(number_or(cmd, attr::ColorSpace, gs.color_space));
        gs.palette_depth = int(number_or(cmd, attr::PaletteDepth, enums::e8Bit));
        gs.palette.clear();
        if (const Value *data = cmd.find(attr::PaletteData)) {
            const std::string bytes = data->bytes();
            gs.palette.assign(bytes.begin(),
                              bytes.begin() + std::min(bytes.size(), kMaxPaletteBytes));
        }
    }

    static int depth_bits(const Command &cmd, int depth) {
        switch (depth) {
        case enums::e1Bit: return 1;
        case enums::e4Bit: return 4;
        case enums::e8Bit: return 8;
        }
        fail(cmd.offset,
             "ColorDepth " + std::to_string(depth) + " (expected e1Bit, e4Bit or e8Bit)");
    }

    uint32_t image_side(const Command &cmd, uint16_t id) {
        const double side = need_attribute(cmd, id).number();
        if (!(side >= 0 && side <= kMaxImageSide)) // NaN too
            fail(cmd.offset, std::string(attribute_name(id)) + " " + number_text(side) +
                                 " is out of range (expected 0 to 65535)");
        return uint32_t(side);
    }

    void begin_image(const Command &cmd) {
        const bool pattern = cmd.op == op::BeginRastPattern;
        open_block(cmd, pattern ? op::ReadRastPattern : op::ReadImage,
                   pattern ? op::EndRastPattern : op::EndImage);
        const GraphicsState &gs = graphics_.back();
        ImageInfo image;
        image.offset = cmd.offset;
        image.number = unsigned(summary_.images.size() + 1);
        image.page = page_ ? unsigned(summary_.pages.size()) : 0;
        image.pattern = pattern;
        image.width = image_side(cmd, attr::SourceWidth);
        image.height = image_side(cmd, attr::SourceHeight);
        image.color_mapping = int(need_attribute(cmd, attr::ColorMapping).integer());
        image.depth = depth_bits(cmd, int(need_attribute(cmd, attr::ColorDepth).integer()));
        image.color_space = gs.color_space;
        const int space_components = gs.color_space == enums::eGray ? 1 : 3;
        if (image.color_mapping == enums::eIndexedPixel) {
            image.components = 1;
            image.palette = gs.palette;
            image.palette_components = space_components;
        } else if (image.color_mapping == enums::eDirectPixel) {
            image.components = space_components;
        } else {
            fail(cmd.offset, "ColorMapping " + std::to_string(image.color_mapping) +
                                 " (expected eDirectPixel or eIndexedPixel)");
        }
        image.row_bytes =
            uint32_t((uint64_t(image.width) * image.depth * image.components + 7) / 8);
        summary_.images.push_back(image);
        decoder_ = std::make_unique<ImageDecoder>(
            image.row_bytes, !data_big_endian_, [this](const uint8_t *row) {
                ImageInfo &current = summary_.images.back();
                listener_.image_row(current, current.rows + decoder_->block_rows_done(), row);
            });
    }

    void read_image(const Command &cmd, uint8_t begin) {
        need_block(cmd, begin);
        ImageInfo &image = summary_.images.back();
        const uint32_t start = uint32_t(need_attribute(cmd, attr::StartLine).integer());
        const uint32_t rows = uint32_t(need_attribute(cmd, attr::BlockHeight).integer());
        const int mode = int(need_attribute(cmd, attr::CompressMode).integer());
        const uint32_t pad = uint32_t(number_or(cmd, attr::PadBytesMultiple, kDefaultPadBytes));
        if (mode < enums::eNoCompression || mode > enums::eDeltaRowCompression)
            fail(cmd.offset, "CompressMode " + std::to_string(mode) + " (expected 0 to 3)");
        if (start != image.rows)
            fail(cmd.offset, "StartLine " + std::to_string(start) + " (expected " +
                                 std::to_string(image.rows) + ", the rows read so far)");
        if (uint64_t(start) + rows > image.height)
            fail(cmd.offset, "block of " + std::to_string(rows) + " rows from StartLine " +
                                 std::to_string(start) + " runs past SourceHeight " +
                                 std::to_string(image.height));
        ++image.blocks;
        image.compressions |= 1u << mode;
        jpeg_block_ = mode == enums::eJPEGCompression;
        if (jpeg_block_) {
            ++summary_.jpeg_blocks;
            image.jpeg = true;
        }
        decoder_->begin_block(mode, rows, pad, cmd.data_offset, cmd.data_length);
    }

    void begin_font_header(const Command &cmd) {
        const std::string name = need_attribute(cmd, attr::FontName).bytes();
        if (fonts_.count(name))
            fail(cmd.offset, "font \"" + name + "\" is defined again (expected RemoveFont first)");
        open_block(cmd, op::ReadFontHeader, op::EndFontHeader);
        font_header_ = FontHeaderParser{};
        font_name_ = name;
        font_offset_ = cmd.offset;
    }

    void end_font_header(const Command &cmd) {
        need_block(cmd, op::BeginFontHeader);
        font_header_.finish(cmd.offset);
        FontInfo font;
        font.offset = font_offset_;
        font.name = font_name_;
        font.format = font_header_.format();
        font.technology = font_header_.technology();
        font.x_resolution = font_header_.x_resolution();
        font.y_resolution = font_header_.y_resolution();
        fonts_[font_name_] = summary_.fonts.size();
        summary_.fonts.push_back(font);
    }

    void begin_char(const Command &cmd) {
        const std::string name = need_attribute(cmd, attr::FontName).bytes();
        auto it = fonts_.find(name);
        if (it == fonts_.end())
            fail(cmd.offset, "BeginChar for font \"" + name +
                                 "\", which has no font header (expected BeginFontHeader first)");
        font_ = it->second;
        open_block(cmd, op::ReadChar, op::EndChar);
    }

    void end_of_stream(uint64_t at, const char *where) {
        const std::string found = std::string(", found ") + where + " at " + at_offset(at);
        if (block_)
            fail(block_->offset, std::string(operator_name(block_->begin)) +
                                     " is not closed (expected " + operator_name(block_->end) +
                                     found + ")");
        if (page_)
            fail(*page_, "BeginPage is not closed (expected EndPage" + found + ")");
        if (data_source_)
            fail(*data_source_,
                 "OpenDataSource is not closed (expected CloseDataSource" + found + ")");
        if (session_)
            fail(*session_, "BeginSession is not closed (expected EndSession" + found + ")");
    }

    Source &src_;
    Listener &listener_;
    Summary &summary_;
    bool big_endian_ = false;
    bool data_big_endian_ = false;
    std::optional<uint64_t> session_, data_source_, page_;
    std::optional<Block> block_;
    std::vector<GraphicsState> graphics_{GraphicsState{}};
    std::unique_ptr<ImageDecoder> decoder_;
    bool jpeg_block_ = false;
    FontHeaderParser font_header_;
    std::string font_name_;
    uint64_t font_offset_ = 0;
    std::unique_ptr<CharParser> char_;
    std::map<std::string, size_t> fonts_; // defined in this session -> index in summary.fonts
    size_t font_ = SIZE_MAX;
};

} // namespace

bool read_job(Source &source, Listener &listener, Summary &summary, Error &error) {
    JobReader reader(source, listener, summary);
    bool ok = true;
    try {
        reader.run();
    } catch (const Failure &f) {
        error.offset = f.offset;
        error.message = f.message;
        ok = false;
    }
    summary.total_bytes = source.offset();
    return ok;
}

bool check_complete(const Summary &s, Error &error) {
    const char *missing = nullptr;
    if (s.total_bytes == 0)
        missing = "the input is empty";
    else if (s.streams == 0)
        missing = "the job ends in its PJL header (expected a PCL XL stream)";
    else if (s.sessions == 0)
        missing = "the PCL XL stream holds no session (expected BeginSession ... EndSession)";
    else if (!s.stream_closed)
        missing = "the PCL XL stream ends without the UEL";
    else if (s.pjl_job && !s.eoj)
        missing = "the job ends without its trailer (expected @PJL EOJ after the PCL XL stream)";
    else if (!s.ends_with_uel)
        missing = "the job does not end with the UEL";
    if (!missing)
        return true;
    error.offset = s.total_bytes;
    error.message = std::string("incomplete job: ") + missing;
    return false;
}

} // namespace pclxl_reader
