// The PJL job header that opens every job (job options, then the switch to
// PCL XL and the stream header line) and the end-of-job trailer.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "job/media_tables.h"
#include "job/word_match.h"
#include "core.h"

namespace {

// Universal Exit Language: ESC %-12345X.
constexpr char kUEL[] = "\x1B%-12345X";
// ")" declares low-byte-first binary; 3;0 is PCL XL protocol class 3.0.
constexpr char kStreamHeader[] = ") HP-PCL XL;3;0;Comment libpclxl " PCLXL_VERSION_STRING "\r\n";

constexpr size_t kHeaderSize = 10240;
constexpr size_t kLineBound = 1024;
// Longest value taken from a name the tables do not hold.
constexpr size_t kMaxPassedName = 64;
constexpr size_t kMaxJobText = PCLXL_JOB_TEXT_MAX;

// Appends formatted text at the end of the text in `buf`, bounded by `bound`
// bytes and by the room left in the buffer.
template <class... Args> void append(char *buf, size_t bound, const char *fmt, Args... args) {
    size_t used = std::strlen(buf);
    size_t room = kHeaderSize - used;
    std::snprintf(buf + used, bound < room ? bound : room, fmt, args...);
}

// The PJL value for a name the table does not hold: the name in capitals,
// keeping only letters, digits, '_' and '-', so that no byte of the host's
// text (CR, LF, quotes, controls, blanks) can end the line or the value and
// inject PJL. Nothing usable left: the default.
const char *pjl_word(const char *(*lookup)(const char *), const char *name,
                     const char *fallback_key, char (&scratch)[kMaxPassedName + 1]) {
    if (const char *value = lookup(name))
        return value;
    size_t n = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name);
         *p && n < kMaxPassedName; ++p) {
        if (std::isalnum(*p) && *p < 0x80)
            scratch[n++] = static_cast<char>(std::toupper(*p));
        else if (*p == '_' || *p == '-')
            scratch[n++] = static_cast<char>(*p);
    }
    scratch[n] = '\0';
    return n ? scratch : lookup(fallback_key);
}

const char *render_mode(const char *color_mode) {
    return pclxl::matches_word(color_mode, "color") ? "COLOR" : "GRAYSCALE";
}

void write_text(pclxl::core::Out out, const char *text) {
    pclxl::core::write(out, text, static_cast<unsigned int>(std::strlen(text)));
}

// A host's text for a quoted PJL value: bytes outside printable ASCII and
// the double quote become '_', so it can end neither the value nor the
// line; cut at kMaxJobText bytes. Null: the fixed text.
const char *quoted_text(const char *text, const char *fixed, char (&out)[kMaxJobText + 1]) {
    if (text == nullptr)
        return fixed;
    size_t n = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
         *p != 0 && n < kMaxJobText; ++p)
        out[n++] = (*p >= 0x20 && *p < 0x7F && *p != '"') ? static_cast<char>(*p) : '_';
    out[n] = '\0';
    return out;
}

} // namespace

namespace pclxl::core {

void start_job_new(Out out, const char *function, const JobOptions &o) {
    say(out, "=> %s\n", function);
    const unsigned resolution = o.resolution != 0 ? o.resolution : 600;

    static_assert(sizeof kUEL - 1 == 9, "UEL is 9 bytes");
    char buf[kHeaderSize] = {};
    std::snprintf(buf, kHeaderSize, "%s@PJL JOB\r\n@PJL COMMENT Version 2.0 For Windows 2000\r\n",
                  kUEL);
    append(buf, kHeaderSize, "@PJL SET TIMEOUT=%d\r\n", 90);
    append(buf, kHeaderSize, "@PJL SET JOBID=%d\r\n", 19);
    char user[kMaxJobText + 1], job[kMaxJobText + 1];
    append(buf, kHeaderSize, "@PJL SET USERNAME=\"%s\"\r\n",
           quoted_text(o.user_name, "PO-1544", user));
    append(buf, kHeaderSize, "@PJL SET JOBNAME=\"%s\"\r\n",
           quoted_text(o.job_name, "lalalala", job));
    append(buf, kHeaderSize, "@PJL SET JOBOWNER=\"%s\"\r\n",
           o.user_name != nullptr ? user : "qvLTSRNEGGXFBTLUZ");
    const char *mode = render_mode(o.color_mode);
    append(buf, kHeaderSize, "@PJL SET RENDERMODE=%s\r\n", mode);

    append(buf, kLineBound, "@PJL SET COPIES=%zu\r\n", size_t(o.collate ? 1 : o.copies));
    append(buf, kLineBound, "@PJL SET QTY=%zu\r\n", size_t(o.collate ? o.copies : 1));
    if (pclxl::matches_word(o.duplex_mode, "simplex")) {
        append(buf, kLineBound, "@PJL SET DUPLEX=%s\r\n", "DISABLE");
    } else {
        append(buf, kLineBound, "@PJL SET DUPLEX=%s\r\n", "ENABLE");
        append(buf, kLineBound, "@PJL SET BINDING=%s\r\n",
               pclxl::matches_word(o.duplex_mode, "duplex_short_edge") ? "SHORTEDGE" : "LONGEDGE");
    }
    append(buf, kLineBound, "@PJL SET LCOLORMODEL=%s\r\n",
           std::strcmp(mode, "COLOR") == 0 ? "CMYK" : "BLACK");
    append(buf, kLineBound, "@PJL SET BITSPERPIXEL=%d\r\n", 2);
    append(buf, kLineBound, "@PJL SET RESOLUTION=R%uX%u\r\n", resolution, resolution);

    char scratch[kMaxPassedName + 1];
    append(buf, kLineBound, "@PJL SET PAPER=%s\r\n",
           pjl_word(pclxl::pjl_paper, o.paper_name, "A4", scratch));
    append(buf, kLineBound, "@PJL SET MEDIATYPE=%s\r\n",
           pjl_word(pclxl::pjl_media_type, *o.media_type ? o.media_type : "plain_1", "plain_1",
                    scratch));
    append(buf, kLineBound, "@PJL SET MEDIASOURCE=%s\r\n",
           pjl_word(pclxl::pjl_media_source, *o.media_source ? o.media_source : "auto", "auto",
                    scratch));
    append(buf, kLineBound, "@PJL SET PAPERMISMATCH=%s\r\n", "ENABLE");
    append(buf, kLineBound, "@PJL SET IORIENTATION=%s\r\n", "IPORTRAIT");
    for (const char *setting :
         {"HOLDPRINT", "TIMEPRINT", "BLANKSUPPRESS", "RBMODE", "NOMARGINPRINT"})
        append(buf, kLineBound, "@PJL SET %s=%s\r\n", setting, "DISABLE");
    append(buf, kLineBound, "%s", "@PJL ENTER LANGUAGE=PCLXL\r\n");
    append(buf, kLineBound, "%s", kStreamHeader);
    write_text(out, buf);
    say(out, "<= %s\n", function);
}

int start_job_with(Out out, const pclxl_job_settings *settings) {
    constexpr const char *kName = "pclxl_start_job_with";
    const char *problem = nullptr;
    if (settings == nullptr)
        problem = "settings is NULL";
    else if (settings->size < sizeof(struct pclxl_job_settings))
        problem = "settings size is too small";
    else if (settings->resolution != 0 && settings->resolution != 300 &&
             settings->resolution != 600 && settings->resolution != 1200)
        problem = "resolution is not 300, 600 or 1200";
    if (problem != nullptr) {
        say(out, "%s(): Fatal Error: %s\n", kName, problem);
        return 0;
    }
    auto text = [](const char *s) { return s != nullptr ? s : ""; };
    start_job_new(out, kName,
                  JobOptions{text(settings->paper_name), text(settings->media_type),
                             text(settings->media_source), text(settings->color_mode),
                             settings->collate, text(settings->duplex_mode), settings->copies,
                             settings->job_name, settings->user_name, settings->resolution});
    return 1;
}

void start_job(Out out, const char *color_mode, uint32_t resolution) {
    say(out, "=> %s\n", "pclxl_start_job");
    char buf[kHeaderSize] = {};
    append(buf, kLineBound, "%s", kUEL);
    append(buf, kLineBound, "@PJL SET RENDERMODE=%s\r\n", render_mode(color_mode));
    append(buf, kLineBound, "@PJL SET RESOLUTION=%zu\r\n", size_t(resolution));
    append(buf, kLineBound, "%s", "@PJL ENTER LANGUAGE=PCLXL\r\n");
    append(buf, kLineBound, "%s", kStreamHeader);
    write_text(out, buf);
    say(out, "<= %s\n", "pclxl_start_job");
}

void end_job(Out out) {
    say(out, "=> %s\n", "pclxl_end_job");
    char buf[256];
    std::snprintf(buf, sizeof buf, "%s@PJL EOJ\r\n%s", kUEL, kUEL);
    write_text(out, buf);
    say(out, "<= %s\n", "pclxl_end_job");
}

} // namespace pclxl::core
