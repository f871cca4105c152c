#include "layout.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace pclxl::pdf {

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

const pclxl_media::Paper *find_paper(const std::string &name) {
    auto same = [&](const char *candidate) {
        if (std::strlen(candidate) != name.size())
            return false;
        for (size_t i = 0; i < name.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(name[i])) !=
                std::tolower(static_cast<unsigned char>(candidate[i])))
                return false;
        return true;
    };
    for (size_t i = 0; i < pclxl_media::kPaperCount; ++i)
        if (same(pclxl_media::kPapers[i].name) || same(pclxl_media::kPapers[i].ppd_name))
            return &pclxl_media::kPapers[i];
    return nullptr;
}

const pclxl_media::Paper *nearest_paper(double width, double height) {
    const double small = std::min(width, height), large = std::max(width, height);
    const pclxl_media::Paper *best = nullptr;
    double best_distance = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < pclxl_media::kPaperCount; ++i) {
        const pclxl_media::Paper &p = pclxl_media::kPapers[i];
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

Placement place_page(double width, double height, const pclxl_media::Paper &paper, int resolution,
                     bool fit) {
    Placement p;
    const double px = resolution / 72.0;
    double sheet_w = std::round(paper.width_pt * px), sheet_h = std::round(paper.height_pt * px);
    width = std::max(width, 1.0);
    height = std::max(height, 1.0);
    p.rotated = (width > height) != (paper.width_pt > paper.height_pt);
    if (p.rotated) {
        p.frame_origin_x = static_cast<int>(sheet_w);
        std::swap(sheet_w, sheet_h);
    }
    p.sheet = {0, 0, sheet_w, sheet_h};
    const double scale = fit ? std::min(sheet_w / width, sheet_h / height) : px;
    p.ctm = {scale, 0, 0, scale, (sheet_w - width * scale) / 2, (sheet_h - height * scale) / 2};
    return p;
}

} // namespace pclxl::pdf
