// Text forms of values, attributes and commands for listings.
#include <cstdint>
#include <cstdio>

#include "reader.h"

namespace pclxl_reader {

namespace {

constexpr uint32_t kListedElements = 16;

std::string number_text(const Value &v, double x) {
    char buf[32];
    if (v.type == ElementType::Real32)
        std::snprintf(buf, sizeof buf, "%g", x);
    else
        std::snprintf(buf, sizeof buf, "%.0f", x);
    return buf;
}

bool printable_text(const Value &v) {
    if (v.type != ElementType::UByte || v.count == 0 || v.count > v.elements.size())
        return false;
    for (double e : v.elements)
        if (e < 0x20 || e > 0x7E)
            return false;
    return true;
}

std::string value_text(uint16_t id, const Value &v) {
    switch (v.shape) {
    case Shape::Scalar: {
        if (v.type != ElementType::Real32)
            if (const char *name = enum_name(id, uint32_t(v.integer())))
                return name;
        return number_text(v, v.number());
    }
    case Shape::XY:
        return "(" + number_text(v, v.number(0)) + "," + number_text(v, v.number(1)) + ")";
    case Shape::Box:
        return "(" + number_text(v, v.number(0)) + "," + number_text(v, v.number(1)) + "," +
               number_text(v, v.number(2)) + "," + number_text(v, v.number(3)) + ")";
    case Shape::Array: break;
    }
    if (printable_text(v)) {
        std::string out = "\"";
        for (char c : v.bytes()) {
            if (c == '"' || c == '\\')
                out += '\\';
            out += c;
        }
        return out + "\"";
    }
    std::string out = "[";
    for (uint32_t i = 0; i < v.count && i < kListedElements; ++i)
        out += (i ? " " : "") + number_text(v, v.number(i));
    if (v.count > kListedElements)
        out += " ... " + std::to_string(v.count) + " elements";
    return out + "]";
}

} // namespace

int64_t Value::integer(size_t i) const {
    const double v = number(i);
    if (!(v >= -2147483648.0)) // also NaN
        return v < 0 ? INT32_MIN : 0;
    return v < 4294967296.0 ? int64_t(v) : int64_t(UINT32_MAX);
}

std::string Value::bytes() const {
    std::string out;
    out.reserve(elements.size());
    // A hostile stream may give a text as an array of any type: integral
    // values keep their low 8 bits, values no integer holds give 0 (a
    // plain conversion of those would be undefined).
    for (double e : elements)
        out += char(uint8_t(e >= -2147483648.0 && e < 4294967296.0 ? int64_t(e) : 0));
    return out;
}

const Value *Command::find(uint16_t id) const {
    for (auto it = attributes.rbegin(); it != attributes.rend(); ++it)
        if (it->id == id)
            return &it->value;
    return nullptr;
}

std::string format_attribute(const Attribute &a) {
    const char *name = attribute_name(a.id);
    char unknown[24];
    if (!name) {
        std::snprintf(unknown, sizeof unknown, "Attribute0x%02X", unsigned(a.id));
        name = unknown;
    }
    return std::string(name) + "=" + value_text(a.id, a.value);
}

std::string format_command(const Command &c) {
    std::string out = operator_name(c.op);
    for (const Attribute &a : c.attributes)
        out += " " + format_attribute(a);
    if (c.has_data) {
        out += " [data " + std::to_string(c.data_length) + " bytes";
        if (!c.data_note.empty())
            out += ": " + c.data_note;
        out += "]";
    }
    return out;
}

void Listener::pjl_line(uint64_t, const std::string &) {}
void Listener::stream_header(uint64_t, const std::string &) {}
void Listener::command(const Command &) {}
void Listener::image_begin(const ImageInfo &) {}
void Listener::image_row(const ImageInfo &, uint32_t, const uint8_t *) {}
void Listener::image_end(const ImageInfo &) {}
void Listener::jpeg_data(const ImageInfo &, const uint8_t *, size_t) {}
void Listener::jpeg_block_end(const ImageInfo &, uint32_t, uint32_t) {}

} // namespace pclxl_reader
