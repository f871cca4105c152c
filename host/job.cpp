#include "job.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <strings.h>

namespace pclxl_host {

namespace {

bool same_name(const char *a, const char *b) { return a && b && strcasecmp(a, b) == 0; }

template <typename Row, size_t N> const Row *find_name(const Row (&rows)[N], const char *name) {
    for (const Row &row : rows)
        if (same_name(row.name, name))
            return &row;
    return nullptr;
}

const char *library_name_for_pwg(const PwgName *rows, size_t count, const char *pwg) {
    for (size_t i = 0; pwg && i < count; i++)
        if (!std::strcmp(rows[i].pwg, pwg))
            return rows[i].library;
    return nullptr;
}

} // namespace

const PwgName kPwgPapers[] = {
    {"iso_a4_210x297mm", "A4"},
    {"na_letter_8.5x11in", "Letter"},
    {"na_legal_8.5x14in", "Legal"},
    {"iso_a3_297x420mm", "A3"},
    {"iso_a5_148x210mm", "A5"},
    {"iso_a6_105x148mm", "A6"},
    {"na_executive_7.25x10.5in", "Executive"},
    {"na_ledger_11x17in", "11x17"},
    {"na_invoice_5.5x8.5in", "Statement"},
    {"na_foolscap_8.5x13in", "Folio"},
    {"jis_b4_257x364mm", "JIS_B4"},
    {"jis_b5_182x257mm", "JIS_B5"},
    {"iso_b5_176x250mm", "ISO_B5"},
    {"na_number-10_4.125x9.5in", "Env_Com10"},
    {"na_monarch_3.875x7.5in", "Env_Monarch"},
    {"iso_c5_162x229mm", "Env_C5"},
    {"iso_dl_110x220mm", "Env_DL"},
};
const size_t kPwgPaperCount = std::size(kPwgPapers);

// Only the media types whose PCL XL names printers know.
const PwgName kPwgMediaTypes[] = {
    {"stationery", "plain"},
    {"stationery-lightweight", "tissue"},
    {"stationery-heavyweight", "tough_1"},
    {"cardstock", "cardstock"},
    {"labels", "labels"},
    {"envelope", "envelope"},
    {"transparency", "film"},
};
const size_t kPwgMediaTypeCount = std::size(kPwgMediaTypes);

const PwgName kPwgSources[] = {
    {"auto", "auto"},
    {"by-pass-tray", "mpf_tray"},
    {"tray-1", "tray_1"},
    {"tray-2", "tray_2"},
};
const size_t kPwgSourceCount = std::size(kPwgSources);

const Paper *find_paper(const char *name) {
    for (const Paper &p : pclxl_media::kPapers)
        if (same_name(p.name, name) || same_name(p.ppd_name, name))
            return &p;
    return nullptr;
}

const Paper *paper_for_pwg(const char *pwg) {
    return find_paper(library_name_for_pwg(kPwgPapers, kPwgPaperCount, pwg));
}

const Paper *paper_for_size(double width_pt, double height_pt) {
    const Paper *best = nullptr;
    double best_distance = 0;
    for (const Paper &p : pclxl_media::kPapers) {
        const double dw = std::fabs(p.width_pt - width_pt), dh = std::fabs(p.height_pt - height_pt);
        if (dw <= 1.5 && dh <= 1.5 && (!best || dw + dh < best_distance)) {
            best = &p;
            best_distance = dw + dh;
        }
    }
    return best;
}

const Paper *paper_for_hmm(int width, int length) {
    return paper_for_size(width * 72.0 / 2540.0, length * 72.0 / 2540.0);
}

const Paper *nearest_paper(double width, double height) {
    const double small = std::fmin(width, height), large = std::fmax(width, height);
    const Paper *best = &pclxl_media::kPapers[0];
    double best_distance = HUGE_VAL;
    for (const Paper &p : pclxl_media::kPapers) {
        if (!p.code_known_everywhere)
            continue;
        const double d = std::fabs(p.width_pt - small) + std::fabs(p.height_pt - large);
        if (d < best_distance) {
            best_distance = d;
            best = &p;
        }
    }
    return best;
}

const MediaType *find_media_type(const char *name) {
    return find_name(pclxl_media::kMediaTypes, name);
}

const MediaType *media_type_for_pwg(const char *pwg) {
    return find_media_type(library_name_for_pwg(kPwgMediaTypes, kPwgMediaTypeCount, pwg));
}

const Tray *find_tray(const char *name) { return find_name(pclxl_media::kTrays, name); }

const Tray *tray_for_pwg(const char *pwg) {
    return find_tray(library_name_for_pwg(kPwgSources, kPwgSourceCount, pwg));
}

bool parse_sides(const char *word, Sides &sides) {
    static const struct {
        const char *word;
        Sides sides;
    } kWords[] = {
        {"simplex", Sides::OneSided},
        {"long-edge", Sides::LongEdge},
        {"short-edge", Sides::ShortEdge},
        {"None", Sides::OneSided},
        {"DuplexNoTumble", Sides::LongEdge},
        {"DuplexTumble", Sides::ShortEdge},
        {"one-sided", Sides::OneSided},
        {"two-sided-long-edge", Sides::LongEdge},
        {"two-sided-short-edge", Sides::ShortEdge},
        {"duplex_long_edge", Sides::LongEdge},
        {"duplex_short_edge", Sides::ShortEdge},
    };
    for (const auto &w : kWords)
        if (word && !std::strcmp(w.word, word)) {
            sides = w.sides;
            return true;
        }
    return false;
}

bool is_true(const char *value) {
    return value && (!strcasecmp(value, "true") || !strcasecmp(value, "on") ||
                     !strcasecmp(value, "yes") || !std::strcmp(value, "1"));
}

bool PageRanges::contains(int page) const {
    if (all)
        return true;
    for (const auto &r : ranges)
        if (page >= r.first && (r.second == 0 || page <= r.second))
            return true;
    return false;
}

namespace {

// A page number of at most 9 digits at `s[i]`; advances `i`.
bool number(const std::string &s, size_t &i, int &value) {
    const size_t start = i;
    long v = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && i - start < 9)
        v = v * 10 + (s[i++] - '0');
    if (i == start || (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))))
        return false;
    value = static_cast<int>(v);
    return value > 0;
}

} // namespace

bool parse_page_ranges(const std::string &text, PageRanges &out) {
    out = PageRanges();
    if (text.empty())
        return true;
    out.all = false;
    size_t i = 0;
    while (true) {
        int first = 1, last = 0;
        if (i < text.size() && text[i] == '-') {
            ++i;
            if (!number(text, i, last))
                return false;
        } else {
            if (!number(text, i, first))
                return false;
            last = first;
            if (i < text.size() && text[i] == '-') {
                ++i;
                last = 0;
                if (i < text.size() && text[i] != ',' && !number(text, i, last))
                    return false;
                if (last != 0 && last < first)
                    return false;
            }
        }
        out.ranges.emplace_back(first, last);
        if (i == text.size())
            return true;
        if (text[i++] != ',' || i == text.size())
            return false;
    }
}

const char *duplex_mode(Sides sides) {
    switch (sides) {
    case Sides::LongEdge: return "duplex_long_edge";
    case Sides::ShortEdge: return "duplex_short_edge";
    default: return "simplex";
    }
}

const char *sides_word(Sides sides) {
    switch (sides) {
    case Sides::LongEdge: return "long-edge";
    case Sides::ShortEdge: return "short-edge";
    default: return "simplex";
    }
}

const char *Job::media_type_name() const {
    return media_type ? media_type->name : other_media_type.c_str();
}

const char *Job::page_media_type() const {
    if (media_type)
        return media_type->pclxl_name;
    return other_media_type.empty() ? "Plain" : other_media_type.c_str();
}

const char *Job::paper_name() const { return paper ? paper->name : "CUSTOM"; }

unsigned Job::page_copies() const { return copies < 1 ? 1 : copies > 65535 ? 65535 : copies; }

pclxl_job_settings Job::settings() const {
    pclxl_job_settings s{};
    s.size = sizeof s;
    s.paper_name = paper_name();
    s.media_type = media_type_name();
    s.media_source = tray ? tray->name : "auto";
    s.color_mode = color ? "color" : "gray";
    s.collate = collate;
    s.duplex_mode = duplex_mode();
    s.copies = page_copies();
    s.job_name = title.empty() ? nullptr : title.c_str();
    s.user_name = user.empty() ? nullptr : user.c_str();
    s.resolution = static_cast<uint16_t>(resolution);
    return s;
}

std::string Job::describe() const {
    std::string s = std::string("paper ") + paper_name() + ", media " +
                    (*media_type_name() ? media_type_name() : "default") + ", tray " +
                    (tray ? tray->name : "auto") + ", " + (color ? "colour" : "gray") + ", " +
                    sides_word(sides) + ", " + std::to_string(page_copies()) +
                    (page_copies() == 1 ? " copy" : " copies");
    if (collate)
        s += ", collated";
    return s;
}

} // namespace pclxl_host
