// Encoder primitives: values, attributes, array headers, data lengths and
// operators in PCL XL binary, low byte first. Each call builds one piece in a
// small local buffer and hands it to the sink; bulk data passes straight
// from the caller's memory.
#include "core.h"
#include "stream/put.h"
#include "stream/wire.h"

namespace tag = pclxl::wire::tag;
namespace code = pclxl::wire::type_code;

namespace pclxl::core {

void set_operator(Out out, unsigned char op) { write_piece(out, &op, &op + 1); }

void add_attribute(Out out, unsigned int value, unsigned char id, unsigned short type_code) {
    unsigned char buf[8];
    unsigned char *p = buf;
    switch (type_code) {
    case code::UByte: p = put8(put8(p, tag::UByte), value); break;
    case code::UInt16: p = put16le(put8(p, tag::UInt16), value); break;
    case code::UInt32: p = put32le(put8(p, tag::UInt32), value); break;
    case code::SInt16: p = put16le(put8(p, tag::SInt16), value); break;
    case code::SInt32: p = put32le(put8(p, tag::SInt32), value); break;
    default: break; // not a scalar code: the attribute goes out without value
    }
    write_piece(out, buf, put_attr(p, id));
}

void add_attribute_xy(Out out, unsigned int x, unsigned int y, unsigned char id,
                      unsigned short type_code) {
    unsigned char buf[12];
    unsigned char *p = buf;
    switch (type_code) {
    case code::UByteXY: p = put8(put8(put8(p, tag::UByteXY), x), y); break;
    case code::UInt16XY: p = put16le(put16le(put8(p, tag::UInt16XY), x), y); break;
    case code::UInt32XY: p = put32le(put32le(put8(p, tag::UInt32XY), x), y); break;
    case code::SInt16XY: p = put16le(put16le(put8(p, tag::SInt16XY), x), y); break;
    case code::SInt32XY: p = put32le(put32le(put8(p, tag::SInt32XY), x), y); break;
    default: break;
    }
    write_piece(out, buf, put_attr(p, id));
}

void add_point16(Out out, const _point16 &point, unsigned char id) {
    unsigned char buf[7];
    unsigned char *p = put8(buf, tag::SInt16XY);
    p = put16le(p, static_cast<uint16_t>(point.x));
    p = put16le(p, static_cast<uint16_t>(point.y));
    write_piece(out, buf, put_attr(p, id));
}

void add_bounding_box16(Out out, const _point16 *first_of_two) {
    unsigned char buf[11];
    unsigned char *p = put8(buf, tag::SInt16Box);
    for (int i = 0; i < 2; ++i) {
        p = put16le(p, static_cast<uint16_t>(first_of_two[i].x));
        p = put16le(p, static_cast<uint16_t>(first_of_two[i].y));
    }
    write_piece(out, buf, put_attr(p, wire::attr::BoundingBox));
}

void add_array_header(Out out, unsigned char array_tag, unsigned short count) {
    unsigned char buf[3] = {array_tag, tag::UByte, static_cast<unsigned char>(count)};
    write_piece(out, buf, buf + sizeof buf);
}

void add_array_header16(Out out, unsigned char array_tag, unsigned short count) {
    unsigned char buf[4] = {array_tag, tag::UInt16};
    put16le(buf + 2, count);
    write_piece(out, buf, buf + sizeof buf);
}

void add_embed_flag(Out out, unsigned int length) {
    unsigned char buf[5];
    unsigned char *p;
    if (length <= 255)
        p = put8(put8(buf, tag::DataLengthByte), length);
    else
        p = put32le(put8(buf, tag::DataLength), length);
    write_piece(out, buf, p);
}

void add_code(Out out, unsigned short char_code, unsigned int flags) {
    const bool typed = flags & 1, wide = flags & 2, bare = flags & 4;
    unsigned char buf[5];
    unsigned char *p = buf;
    if (typed)
        p = put8(p, wide ? tag::UInt16 : tag::UByte);
    p = wide ? put16le(p, char_code) : put8(p, char_code);
    if (!bare)
        p = put_attr(p, wire::attr::CharCode);
    write_piece(out, buf, p);
}

void write_xl_array(Out out, long count, const unsigned char *data, bool byte_elements,
                    unsigned char id) {
    if (byte_elements) {
        add_array_header(out, tag::UByteArray, static_cast<unsigned short>(count));
        write(out, data, static_cast<unsigned int>(count));
    } else {
        add_array_header16(out, tag::SInt16Array, static_cast<unsigned short>(count));
        write(out, data, static_cast<unsigned int>(count * 2));
    }
    unsigned char suffix[2];
    write_piece(out, suffix, put_attr(suffix, id));
}

void add_comment(Out out, const void *bytes, uint32_t length) {
    if (length <= 255)
        add_array_header(out, tag::UByteArray, static_cast<unsigned short>(length));
    else
        add_array_header16(out, tag::UByteArray, static_cast<unsigned short>(length));
    write(out, bytes, length);
    unsigned char tail[3];
    put8(put_attr(tail, wire::attr::CommentData), wire::op::Comment);
    write_piece(out, tail, tail + sizeof tail);
}

} // namespace pclxl::core
