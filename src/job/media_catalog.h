// The one table of papers, media types and trays: what each host name
// becomes in the PJL header and on the page, and what the hosts (the pclxl
// tool, the CUPS filter, the printer application) offer. Plain constant
// data, so that the library and the host layer read the same rows.
#ifndef PCLXL_JOB_MEDIA_CATALOG_H
#define PCLXL_JOB_MEDIA_CATALOG_H

#include <cstddef>
#include <cstring>

namespace pclxl::media {

struct Paper {
    const char *ppd_name; // PPD PageSize keyword
    const char *name;     // the library's paper name
    int width_pt, height_pt;
    int media_size_code; // PCL XL MediaSize, -1: none
    // Hosts send the code only for sizes that every PCL XL printer knows;
    // the others go as custom sizes with their exact dimensions.
    bool code_known_everywhere;
    // The whole sheet in pixels at 600 dpi for the papers the pclxl tool
    // lays out (0 for the others).
    int sheet_width, sheet_height;
    const char *pjl; // PJL PAPER
};

struct MediaType {
    const char *name;       // the library's (and the PPD's) keyword
    const char *pclxl_name; // PCL XL MediaType text of the page
    const char *pjl;        // PJL MEDIATYPE
};

struct Tray {
    const char *name;
    int media_source; // PCL XL MediaSource of the page
    const char *pjl;  // PJL MEDIASOURCE
};

// The papers the pclxl tool lays out come first, in the order of its
// --paper choices; A4 is the default.
inline constexpr Paper kPapers[] = {
    {"A4", "A4", 595, 842, 2, true, 4960, 7016, "A4"},             // 210 x 297 mm
    {"A3", "A3", 842, 1191, 5, true, 7016, 9921, "A3"},            // 297 x 420 mm
    {"A5", "A5", 420, 595, 16, true, 3496, 4960, "A5"},            // 148 x 210 mm
    {"Letter", "Letter", 612, 792, 0, true, 5100, 6600, "LETTER"}, // 8.5 x 11 in
    {"B5", "JIS_B5", 516, 729, 11, true, 4299, 6071, "JISB5"},     // 182 x 257 mm
    {"ISOB5", "ISO_B5", 499, 709, 13, false, 4157, 5906, "B5"},    // 176 x 250 mm
    {"Legal", "Legal", 612, 1008, 1, true, 0, 0, "LEGAL"},
    {"Executive", "Executive", 522, 756, 3, true, 0, 0, "EXECUTIVE"},
    {"Tabloid", "11x17", 792, 1224, 4, true, 0, 0, "LEDGER"},
    {"Env10", "Env_Com10", 297, 684, 6, true, 0, 0, "COM10"},
    {"EnvMonarch", "Env_Monarch", 279, 540, 7, true, 0, 0, "MONARCH"},
    {"EnvC5", "Env_C5", 459, 649, 8, true, 0, 0, "C5"},
    {"EnvDL", "Env_DL", 312, 624, 9, true, 0, 0, "DL"},
    {"B4", "JIS_B4", 729, 1032, 10, true, 0, 0, "JISB4"},
    {"A6", "A6", 297, 420, -1, false, 0, 0, "A6"},
    {"B6", "JIS_B6", 363, 516, -1, false, 0, 0, "JISB6"},
    {"Statement", "Statement", 396, 612, -1, false, 0, 0, "STATEMENT"},
    {"Folio", "Folio", 612, 936, -1, false, 0, 0, "FOLIO"},
    {"Oficio", "Oficio", 612, 972, -1, false, 0, 0, "OFICIO"},
    {"A3Wide", "A3Wide", 864, 1296, -1, false, 0, 0, "WIDEA3"},
    {"SRA3", "SRA3", 907, 1276, -1, false, 0, 0, "SRA3"},
    {"8K", "8K", 765, 1106, -1, false, 0, 0, "K8S"},
    {"16K", "16K", 553, 765, -1, false, 0, 0, "K16S"},
    {"Big16K", "BIG 16K", 558, 774, -1, false, 0, 0, "K16"},
    {"EnvC6", "Env_C6", 323, 459, -1, false, 0, 0, "C6"},
    {"Postcard", "Postcard", 283, 420, -1, false, 0, 0, "JPOST"},
};

inline constexpr MediaType kMediaTypes[] = {
    {"plain", "Plain", "PLAIN"},
    {"plain_1", "Plain", "PLAIN1"},
    {"plain_2", "Mid Weight", "PLAIN2"},
    {"tough_1", "Heavy", "THICK1"},
    {"tough_1_plus", "Heavy1P", "THICK1P"},
    {"tough_2", "Extra Heavy", "THICK2"},
    {"tough_3", "Heavy3", "THICK3"},
    {"labels", "Labels", "LABELS"},
    {"gloss_labels", "Gloss Lab", "GLOSSLAB"},
    {"matte_labels", "Matte Lab", "MATTELAB"},
    {"tissue", "Light", "TAB"},
    {"recycled_paper", "Recycled", "RECYCLED"},
    {"envelope", "Envelope", "ENVELOPE"},
    {"cardstock", "Card Stock", "POSTCARD"},
    {"film", "Transparency", "FILM"},
};

// MediaSource: 1 eAutoSelect, 3 eMultiPurposeTray, 4 eUpperCassette,
// 5 eLowerCassette, 7 eThirdCassette, 8 and up the external trays. Trays
// the PJL header gives the same name get the same value. The order is the
// PPD's MediaPosition: kTrays[position].
inline constexpr Tray kTrays[] = {
    {"auto", 1, "AUTOSELECT"},
    {"standard_tray", 4, "STANDARD"},
    {"tray_1", 5, "OPTIONAL1"},
    {"tray_2", 7, "OPTIONAL2"},
    {"k_tray_1", 4, "STANDARD"},
    {"k_tray_2", 7, "OPTIONAL2"},
    {"k_tray_3", 8, "OPTIONAL3"},
    {"k_tray_4", 9, "OPTIONAL4"},
    {"mpf_tray", 3, "MULTIPLE"},
    {"builtin_large_tray", 10, "EXTERNALLCTIN"},
    {"external_large_tray", 11, "EXTERNALLCTOUT"},
};

// The row named `name` (exact, case-sensitive), or null.
template <class Row, std::size_t N> const Row *find(const Row (&rows)[N], const char *name) {
    if (name == nullptr)
        return nullptr;
    for (const Row &row : rows)
        if (std::strcmp(row.name, name) == 0)
            return &row;
    return nullptr;
}

} // namespace pclxl::media

#endif
