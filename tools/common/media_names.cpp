#include "media_names.h"

#include <cstring>

namespace pclxl_media {

// The papers the pclxl tool lays out come first, in the order its
// --paper choices are listed; A4 is its default.
const Paper kPapers[] = {
    {"A4", "A4", 595, 842, 2, true, 4960, 7016},          // 210 x 297 mm
    {"A3", "A3", 842, 1191, 5, true, 7016, 9921},         // 297 x 420 mm
    {"A5", "A5", 420, 595, 16, true, 3496, 4960},         // 148 x 210 mm
    {"Letter", "Letter", 612, 792, 0, true, 5100, 6600},  // 8.5 x 11 in
    {"B5", "JIS_B5", 516, 729, 11, true, 4299, 6071},     // 182 x 257 mm
    {"ISOB5", "ISO_B5", 499, 709, 13, false, 4157, 5906}, // 176 x 250 mm
    {"Legal", "Legal", 612, 1008, 1, true, 0, 0},
    {"Executive", "Executive", 522, 756, 3, true, 0, 0},
    {"Tabloid", "11x17", 792, 1224, 4, true, 0, 0},
    {"Env10", "Env_Com10", 297, 684, 6, true, 0, 0},
    {"EnvMonarch", "Env_Monarch", 279, 540, 7, true, 0, 0},
    {"EnvC5", "Env_C5", 459, 649, 8, true, 0, 0},
    {"EnvDL", "Env_DL", 312, 624, 9, true, 0, 0},
    {"B4", "JIS_B4", 729, 1032, 10, true, 0, 0},
    {"A6", "A6", 297, 420, -1, false, 0, 0},
    {"B6", "JIS_B6", 363, 516, -1, false, 0, 0},
    {"Statement", "Statement", 396, 612, -1, false, 0, 0},
    {"Folio", "Folio", 612, 936, -1, false, 0, 0},
    {"Oficio", "Oficio", 612, 972, -1, false, 0, 0},
    {"A3Wide", "A3Wide", 864, 1296, -1, false, 0, 0},
    {"SRA3", "SRA3", 907, 1276, -1, false, 0, 0},
    {"8K", "8K", 765, 1106, -1, false, 0, 0},
    {"16K", "16K", 553, 765, -1, false, 0, 0},
    {"Big16K", "BIG 16K", 558, 774, -1, false, 0, 0},
    {"EnvC6", "Env_C6", 323, 459, -1, false, 0, 0},
    {"Postcard", "Postcard", 283, 420, -1, false, 0, 0},
};
const size_t kPaperCount = sizeof kPapers / sizeof kPapers[0];

const MediaType kMediaTypes[] = {
    {"plain", "Plain"},
    {"plain_1", "Plain"},
    {"plain_2", "Mid Weight"},
    {"tough_1", "Heavy"},
    {"tough_1_plus", "Heavy1P"},
    {"tough_2", "Extra Heavy"},
    {"tough_3", "Heavy3"},
    {"labels", "Labels"},
    {"gloss_labels", "Gloss Lab"},
    {"matte_labels", "Matte Lab"},
    {"tissue", "Light"},
    {"recycled_paper", "Recycled"},
    {"envelope", "Envelope"},
    {"cardstock", "Card Stock"},
    {"film", "Transparency"},
};
const size_t kMediaTypeCount = sizeof kMediaTypes / sizeof kMediaTypes[0];

// MediaSource: 1 eAutoSelect, 3 eMultiPurposeTray, 4 eUpperCassette,
// 5 eLowerCassette, 7 eThirdCassette, 8 and up the external trays. Trays
// the PJL header gives the same name get the same value.
const Tray kTrays[] = {
    {"auto", 1},
    {"standard_tray", 4},
    {"tray_1", 5},
    {"tray_2", 7},
    {"k_tray_1", 4},
    {"k_tray_2", 7},
    {"k_tray_3", 8},
    {"k_tray_4", 9},
    {"mpf_tray", 3},
    {"builtin_large_tray", 10},
    {"external_large_tray", 11},
};
const size_t kTrayCount = sizeof kTrays / sizeof kTrays[0];

namespace {

template <typename T> const T *find_row(const T *rows, size_t count, const char *name) {
    if (!name)
        return nullptr;
    for (size_t i = 0; i < count; i++)
        if (!std::strcmp(rows[i].name, name))
            return &rows[i];
    return nullptr;
}

} // namespace

const MediaType *find_media_type(const char *name) {
    return find_row(kMediaTypes, kMediaTypeCount, name);
}

const Tray *find_tray(const char *name) { return find_row(kTrays, kTrayCount, name); }

} // namespace pclxl_media
