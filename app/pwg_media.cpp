#include "pwg_media.h"

#include <cmath>
#include <cstring>

namespace pclxl_app {

const char *const kMediaSizes[] = {
    "iso_a4_210x297mm",         "na_letter_8.5x11in",       "na_legal_8.5x14in",
    "iso_a3_297x420mm",         "iso_a5_148x210mm",         "iso_a6_105x148mm",
    "na_executive_7.25x10.5in", "na_ledger_11x17in",        "na_invoice_5.5x8.5in",
    "na_foolscap_8.5x13in",     "jis_b4_257x364mm",         "jis_b5_182x257mm",
    "iso_b5_176x250mm",         "na_number-10_4.125x9.5in", "na_monarch_3.875x7.5in",
    "iso_c5_162x229mm",         "iso_dl_110x220mm",
};
const size_t kMediaSizeCount = sizeof kMediaSizes / sizeof kMediaSizes[0];

// Only the media types whose PCL XL names printers know.
const TypeName kMediaTypes[] = {
    {"stationery", "plain"},
    {"stationery-lightweight", "tissue"},
    {"stationery-heavyweight", "tough_1"},
    {"cardstock", "cardstock"},
    {"labels", "labels"},
    {"envelope", "envelope"},
    {"transparency", "film"},
};
const size_t kMediaTypeCount = sizeof kMediaTypes / sizeof kMediaTypes[0];

const SourceName kMediaSources[] = {
    {"auto", "auto"},
    {"by-pass-tray", "mpf_tray"},
    {"tray-1", "tray_1"},
    {"tray-2", "tray_2"},
};
const size_t kMediaSourceCount = sizeof kMediaSources / sizeof kMediaSources[0];

namespace {

template <typename Row> const Row &find_pwg(const Row *rows, size_t count, const char *pwg) {
    for (size_t i = 0; pwg && i < count; i++)
        if (!std::strcmp(rows[i].pwg, pwg))
            return rows[i];
    return rows[0];
}

bool near(double a, double b) { return std::fabs(a - b) <= 1.5; }

} // namespace

const pclxl_media::Paper *paper_for_size(int width, int length) {
    const double w = width * 72.0 / 2540.0, l = length * 72.0 / 2540.0;
    for (size_t i = 0; i < pclxl_media::kPaperCount; i++) {
        const pclxl_media::Paper &p = pclxl_media::kPapers[i];
        if (near(p.width_pt, w) && near(p.height_pt, l))
            return &p;
    }
    return nullptr;
}

const pclxl_media::MediaType *media_type_for(const char *pwg) {
    return pclxl_media::find_media_type(find_pwg(kMediaTypes, kMediaTypeCount, pwg).library);
}

const pclxl_media::Tray *tray_for(const char *pwg) {
    return pclxl_media::find_tray(find_pwg(kMediaSources, kMediaSourceCount, pwg).library);
}

} // namespace pclxl_app
