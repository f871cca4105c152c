// The name tables are sorted constant arrays: built at compile time, so they
// exist before any call and never change. Lookups are binary searches.
#include "core.h"
#include "job/media_tables.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "pclxl.h"

namespace pclxl {
namespace {

bool cmp_str(const char *a, const char *b) { return std::strcmp(a, b) < 0; }

// Rows in byte order of their keys: "11x17" < "16K" < "8K" < "A3" < ...
// (digits before capitals, capitals before '_' and lower case).
constexpr NameEntry kPaper[] = {
    {"11x17", "LEDGER"},
    {"16K", "K16S"},
    {"8K", "K8S"},
    {"A3", "A3"},
    {"A3Wide", "WIDEA3"},
    {"A4", "A4"},
    {"A5", "A5"},
    {"A6", "A6"},
    {"BIG 16K", "K16"},
    {"Env_C5", "C5"},
    {"Env_C6", "C6"},
    {"Env_Com10", "COM10"},
    {"Env_DL", "DL"},
    {"Env_Monarch", "MONARCH"},
    {"Executive", "EXECUTIVE"},
    {"Folio", "FOLIO"},
    {"ISO_B5", "B5"},
    {"JIS_B4", "JISB4"},
    {"JIS_B5", "JISB5"},
    {"JIS_B6", "JISB6"},
    {"Legal", "LEGAL"},
    {"Letter", "LETTER"},
    {"Oficio", "OFICIO"},
    {"Postcard", "JPOST"},
    {"SRA3", "SRA3"},
    {"Statement", "STATEMENT"},
};

constexpr NameEntry kPjlMediaType[] = {
    {"cardstock", "POSTCARD"},
    {"envelope", "ENVELOPE"},
    {"film", "FILM"},
    {"gloss_labels", "GLOSSLAB"},
    {"labels", "LABELS"},
    {"matte_labels", "MATTELAB"},
    {"plain", "PLAIN"},
    {"plain_1", "PLAIN1"},
    {"plain_2", "PLAIN2"},
    {"recycled_paper", "RECYCLED"},
    {"tissue", "TAB"},
    {"tough_1", "THICK1"},
    {"tough_1_plus", "THICK1P"},
    {"tough_2", "THICK2"},
    {"tough_3", "THICK3"},
};

constexpr NameEntry kPclxlMediaType[] = {
    {"cardstock", "Card Stock"}, {"envelope", "Envelope"},
    {"film", "Transparency"},    {"gloss_labels", "Gloss Lab"},
    {"labels", "Labels"},        {"matte_labels", "Matte Lab"},
    {"plain", "Plain"},          {"plain_1", "Plain"},
    {"plain_2", "Mid Weight"},   {"recycled_paper", "Recycled"},
    {"tissue", "Light"},         {"tough_1", "Heavy"},
    {"tough_1_plus", "Heavy1P"}, {"tough_2", "Extra Heavy"},
    {"tough_3", "Heavy3"},
};

constexpr NameEntry kPjlMediaSource[] = {
    {"auto", "AUTOSELECT"},
    {"builtin_large_tray", "EXTERNALLCTIN"},
    {"external_large_tray", "EXTERNALLCTOUT"},
    {"k_tray_1", "STANDARD"},
    {"k_tray_2", "OPTIONAL2"},
    {"k_tray_3", "OPTIONAL3"},
    {"k_tray_4", "OPTIONAL4"},
    {"mpf_tray", "MULTIPLE"},
    {"standard_tray", "STANDARD"},
    {"tray_1", "OPTIONAL1"},
    {"tray_2", "OPTIONAL2"},
};

constexpr int const_strcmp(const char *a, const char *b) {
    while (*a && *a == *b)
        ++a, ++b;
    return static_cast<unsigned char>(*a) - static_cast<unsigned char>(*b);
}

// Lookups are binary searches: every table must be strictly ascending.
template <class Row, size_t N> constexpr bool sorted(const Row (&rows)[N]) {
    for (size_t i = 1; i < N; ++i)
        if (const_strcmp(rows[i - 1].key, rows[i].key) >= 0)
            return false;
    return true;
}
static_assert(sorted(kPaper) && sorted(kPjlMediaType) && sorted(kPclxlMediaType) &&
                  sorted(kPjlMediaSource),
              "name tables must be sorted by key");
static_assert(std::size(kPaper) == 26 && std::size(kPjlMediaType) == 15 &&
                  std::size(kPclxlMediaType) == 15 && std::size(kPjlMediaSource) == 11,
              "row counts");

struct PaperRow {
    const char *key;
    paper_size size;
};

// Printable sizes, somewhat smaller than the sheet. "A5_Hor" is not swapped.
constexpr PaperRow kPaperPixels[] = {
    {"A3", {6816, 9728}},     {"A4", {4768, 6816}},     {"A5", {3304, 4768}},
    {"A5_Hor", {3304, 4768}}, {"ISO_B5", {3964, 5713}}, {"JIS_B5", {4104, 5878}},
    {"Letter", {4908, 6408}},
};

// Binary search over rows sorted by key; exact, case-sensitive match.
static_assert(sorted(kPaperPixels), "paper sizes must be sorted by key");

template <class Row> const Row *find(const Row *begin, const Row *end, const char *key) {
    const Row *it = std::lower_bound(begin, end, key,
                                     [](const Row &r, const char *k) { return cmp_str(r.key, k); });
    return (it != end && std::strcmp(it->key, key) == 0) ? it : nullptr;
}

} // namespace

const NameTable pjl_paper_map = {kPaper, std::size(kPaper)};
const NameTable pjl_media_type_map = {kPjlMediaType, std::size(kPjlMediaType)};
const NameTable pclxl_media_type_map = {kPclxlMediaType, std::size(kPclxlMediaType)};
const NameTable pjl_media_source_map = {kPjlMediaSource, std::size(kPjlMediaSource)};

const char *lookup(const NameTable &table, const char *key) {
    const NameEntry *row = find(table.rows, table.rows + table.count, key);
    return row ? row->value : nullptr;
}

const paper_size *lookup_paper_pixels(const char *name) {
    const PaperRow *row = find(std::begin(kPaperPixels), std::end(kPaperPixels), name);
    return row ? &row->size : nullptr;
}

bool core::paper_pixels(const char *name, int32_t *width, int32_t *height) {
    const paper_size *size = lookup_paper_pixels(name);
    *width = size ? size->width : 0;
    *height = size ? size->height : 0;
    return size != nullptr;
}

} // namespace pclxl
