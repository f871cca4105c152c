// The PJL job header that opens every job (job options, then the switch to
// PCL XL and the stream header line) and the end-of-job trailer.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "job/media_tables.h"
#include "job/word_match.h"
#include "pclxl.hpp"

namespace {

// Universal Exit Language: ESC %-12345X.
constexpr char kUEL[] = "\x1B%-12345X";
// ")" declares low-byte-first binary; 3;0 is PCL XL protocol class 3.0.
constexpr char kStreamHeader[] = ") HP-PCL XL;3;0;Comment libpclxl " PCLXL_VERSION_STRING "\r\n";

constexpr size_t kHeaderSize = 10240;
constexpr size_t kLineBound = 1024;
// Longest value taken from a name the tables do not hold.
constexpr size_t kMaxPassedName = 64;

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
const char *pjl_word(const pclxl::NameTable &table, const char *name, const char *fallback_key,
                     char (&scratch)[kMaxPassedName + 1]) {
    if (const char *value = pclxl::lookup(table, name))
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
    return n ? scratch : pclxl::lookup(table, fallback_key);
}

const char *render_mode(const char *color_mode) {
    return pclxl::matches_word(color_mode, "color") ? "COLOR" : "GRAYSCALE";
}

void write_text(const char *text) {
    _dev_write(const_cast<char *>(text), static_cast<unsigned int>(std::strlen(text)));
}

} // namespace

extern "C" {

void pclxl_start_job_new(const char *paper_name, const char *media_type, const char *media_source,
                         const char *color_mode, bool collate, const char *duplex_mode,
                         uint32_t copies) {
    std::fprintf(stderr, "=> %s\n", "pclxl_start_job_new");
    static_assert(sizeof kUEL - 1 == 9, "UEL is 9 bytes");
    char buf[kHeaderSize] = {};
    std::snprintf(buf, kHeaderSize, "%s@PJL JOB\r\n@PJL COMMENT Version 2.0 For Windows 2000\r\n",
                  kUEL);
    append(buf, kHeaderSize, "@PJL SET TIMEOUT=%d\r\n", 90);
    append(buf, kHeaderSize, "@PJL SET JOBID=%d\r\n", 19);
    append(buf, kHeaderSize, "@PJL SET USERNAME=\"%s\"\r\n", "PO-1544");
    append(buf, kHeaderSize, "@PJL SET JOBNAME=\"%s\"\r\n", "lalalala");
    append(buf, kHeaderSize, "@PJL SET JOBOWNER=\"%s\"\r\n", "qvLTSRNEGGXFBTLUZ");
    const char *mode = render_mode(color_mode);
    append(buf, kHeaderSize, "@PJL SET RENDERMODE=%s\r\n", mode);

    append(buf, kLineBound, "@PJL SET COPIES=%zu\r\n", size_t(collate ? 1 : copies));
    append(buf, kLineBound, "@PJL SET QTY=%zu\r\n", size_t(collate ? copies : 1));
    if (pclxl::matches_word(duplex_mode, "simplex")) {
        append(buf, kLineBound, "@PJL SET DUPLEX=%s\r\n", "DISABLE");
    } else {
        append(buf, kLineBound, "@PJL SET DUPLEX=%s\r\n", "ENABLE");
        append(buf, kLineBound, "@PJL SET BINDING=%s\r\n",
               pclxl::matches_word(duplex_mode, "duplex_short_edge") ? "SHORTEDGE" : "LONGEDGE");
    }
    append(buf, kLineBound, "@PJL SET LCOLORMODEL=%s\r\n",
           std::strcmp(mode, "COLOR") == 0 ? "CMYK" : "BLACK");
    append(buf, kLineBound, "@PJL SET BITSPERPIXEL=%d\r\n", 2);
    append(buf, kLineBound, "@PJL SET RESOLUTION=%s\r\n", "R600X600");

    char scratch[kMaxPassedName + 1];
    append(buf, kLineBound, "@PJL SET PAPER=%s\r\n",
           pjl_word(pclxl::pjl_paper_map, paper_name, "A4", scratch));
    append(buf, kLineBound, "@PJL SET MEDIATYPE=%s\r\n",
           pjl_word(pclxl::pjl_media_type_map, *media_type ? media_type : "plain_1", "plain_1",
                    scratch));
    append(buf, kLineBound, "@PJL SET MEDIASOURCE=%s\r\n",
           pjl_word(pclxl::pjl_media_source_map, *media_source ? media_source : "auto", "auto",
                    scratch));
    append(buf, kLineBound, "@PJL SET PAPERMISMATCH=%s\r\n", "ENABLE");
    append(buf, kLineBound, "@PJL SET IORIENTATION=%s\r\n", "IPORTRAIT");
    for (const char *setting :
         {"HOLDPRINT", "TIMEPRINT", "BLANKSUPPRESS", "RBMODE", "NOMARGINPRINT"})
        append(buf, kLineBound, "@PJL SET %s=%s\r\n", setting, "DISABLE");
    append(buf, kLineBound, "%s", "@PJL ENTER LANGUAGE=PCLXL\r\n");
    append(buf, kLineBound, "%s", kStreamHeader);
    write_text(buf);
    std::fprintf(stderr, "<= %s\n", "pclxl_start_job_new");
}

void pclxl_start_job(const char *color_mode, uint32_t resolution) {
    std::fprintf(stderr, "=> %s\n", "pclxl_start_job");
    char buf[kHeaderSize] = {};
    append(buf, kLineBound, "%s", kUEL);
    append(buf, kLineBound, "@PJL SET RENDERMODE=%s\r\n", render_mode(color_mode));
    append(buf, kLineBound, "@PJL SET RESOLUTION=%zu\r\n", size_t(resolution));
    append(buf, kLineBound, "%s", "@PJL ENTER LANGUAGE=PCLXL\r\n");
    append(buf, kLineBound, "%s", kStreamHeader);
    write_text(buf);
    std::fprintf(stderr, "<= %s\n", "pclxl_start_job");
}

void pclxl_end_job(void) {
    std::fprintf(stderr, "=> %s\n", "pclxl_end_job");
    char buf[256];
    std::snprintf(buf, sizeof buf, "%s@PJL EOJ\r\n%s", kUEL, kUEL);
    write_text(buf);
    std::fprintf(stderr, "<= %s\n", "pclxl_end_job");
}

} // extern "C"
