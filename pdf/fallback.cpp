// Regions the printer language cannot draw go as images of their rendering,
// at the job's resolution. A page plays twice: a survey collects its regions
// and merges those that overlap or touch; then, as the page plays for real,
// each merged region is placed once, where its first part comes, as far as
// the clip of that moment lets it show. A later part is placed again only
// where the region is not showing yet or where vectors painted over it
// since. Text and paths outside the regions stay vectors.
#include <algorithm>
#include <cmath>

#include "converter.h"

namespace pclxl::pdf {

namespace {

// Pixels rendered at once: a region larger than this goes in bands.
constexpr size_t kRegionBandBytes = size_t(32) << 20;
// Regions whose boxes are this close (device pixels) touch.
constexpr double kTouching = 2;
// Two regions merge only when their common box wastes little.
constexpr double kMergeWaste = 1.25;
// Each region renders the page's content again: a page with more than this
// many has them all in one, their common box.
constexpr size_t kMaxRegions = 256;
// Nor does a page render more parts than this again over its vectors.
constexpr int kMaxPlacements = 1024;

double area_of(const Rect &r) { return r.empty() ? 0 : (r.x1 - r.x0) * (r.y1 - r.y0); }

Rect unite(const Rect &a, const Rect &b) {
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

Rect meet(const Rect &a, const Rect &b) {
    return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

bool inside(const Rect &inner, const Rect &outer) {
    return inner.x0 >= outer.x0 && inner.y0 >= outer.y0 && inner.x1 <= outer.x1 &&
           inner.y1 <= outer.y1;
}

bool near(const Rect &a, const Rect &b) {
    return a.x0 <= b.x1 + kTouching && b.x0 <= a.x1 + kTouching && a.y0 <= b.y1 + kTouching &&
           b.y0 <= a.y1 + kTouching;
}

// Smooth content (photographs, shadows, gradients) compresses better as
// JPEG; flat content with sharp edges (text, rules) as delta rows. Judged
// from neighbouring pixels on every fourth row.
bool photographic(const Pixels &px) {
    if (px.components != 3 || size_t(px.width) * px.height < 4096)
        return false;
    size_t same = 0, jumps = 0, pairs = 0;
    for (int y = 0; y < px.height; y += 4) {
        const uint8_t *row = &px.data[size_t(y) * px.width * 3];
        for (int x = 1; x < px.width; ++x, ++pairs) {
            int d = 0;
            for (int k = 0; k < 3; ++k)
                d = std::max(d, std::abs(row[3 * x + k] - row[3 * x - 3 + k]));
            same += d == 0;
            jumps += d > 24;
        }
    }
    return pairs && same * 2 < pairs && jumps * 20 < pairs;
}

} // namespace

Rect Converter::region_rect(const Rect &area) const {
    const Rect r = meet(area, area_);
    // Whole device pixels.
    return {std::floor(r.x0), std::floor(r.y0), std::ceil(r.x1), std::ceil(r.y1)};
}

void Converter::end_survey() {
    survey_ = false;
    regions_.clear();
    region_of_.assign(surveyed_.size(), 0);
    // Union by merging until nothing changes: few regions per page.
    std::vector<Rect> boxes;
    std::vector<std::vector<size_t>> members;
    for (size_t i = 0; i < surveyed_.size(); ++i) {
        if (boxes.size() > kMaxRegions) { // the rest joins the common box
            boxes.back() = unite(boxes.back(), surveyed_[i]);
            members.back().push_back(i);
            continue;
        }
        Rect box = surveyed_[i];
        std::vector<size_t> in{i};
        for (bool merged = true; merged;) {
            merged = false;
            for (size_t k = 0; k < boxes.size(); ++k) {
                const Rect both = unite(box, boxes[k]);
                if (near(box, boxes[k]) &&
                    area_of(both) <= kMergeWaste * (area_of(box) + area_of(boxes[k]) -
                                                    area_of(meet(box, boxes[k])))) {
                    box = both;
                    in.insert(in.end(), members[k].begin(), members[k].end());
                    boxes.erase(boxes.begin() + k);
                    members.erase(members.begin() + k);
                    merged = true;
                    break;
                }
            }
        }
        boxes.push_back(box);
        members.push_back(in);
    }
    if (boxes.size() > kMaxRegions) {
        Rect all = boxes[0];
        for (const Rect &b : boxes)
            all = unite(all, b);
        boxes.assign(1, all);
        members.assign(1, {});
        for (size_t i = 0; i < surveyed_.size(); ++i)
            members[0].push_back(i);
    }
    for (size_t k = 0; k < boxes.size(); ++k) {
        regions_.push_back({boxes[k], {}, {}, false});
        for (size_t i : members[k])
            region_of_[i] = k;
    }
    calls_ = 0;
}

void Converter::painted(const Rect &box) {
    for (Region &r : regions_) {
        if (r.shown.empty() || meet(box, r.area).empty())
            continue;
        r.dirty = r.dirty_any ? unite(r.dirty, box) : box;
        r.dirty_any = true;
    }
}

void Converter::fallback(const Rect &area) {
    const Rect r = region_rect(area);
    if (r.empty())
        return;
    if (survey_) {
        surveyed_.push_back(r);
        return;
    }
    // The survey saw the same regions in the same order (it may have missed
    // one that the page's real play finds, such as text drawn as outlines
    // far off the sheet); one it did not see is placed as it comes.
    size_t call = calls_;
    auto same = [&](const Rect &a) {
        return a.x0 == r.x0 && a.y0 == r.y0 && a.x1 == r.x1 && a.y1 == r.y1;
    };
    while (call < surveyed_.size() && !same(surveyed_[call]))
        ++call;
    Region alone{r, {}, {}, false};
    const bool planned = call < surveyed_.size();
    if (planned)
        calls_ = call + 1;
    Region &region = planned ? regions_[region_of_[call]] : alone;
    const bool showing = std::any_of(region.shown.begin(), region.shown.end(),
                                     [&](const Rect &s) { return inside(r, s); });
    if (showing && (!(region.dirty_any && !meet(region.dirty, r).empty()) ||
                    page_fallbacks_ >= kMaxPlacements))
        return;
    // As much of the region as the clip lets show now; once shown, only
    // the part asked for.
    const Rect clip = clip_boxes_.empty() ? area_ : clip_boxes_.back();
    const Rect target = meet(showing ? r : region.area, clip);
    const Rect placed = region_rect(target);
    if (placed.empty())
        return;
    place_region(placed);
    region.shown.push_back(placed);
    if (region.dirty_any && inside(region.dirty, placed))
        region.dirty_any = false;
}

void Converter::place_region(const Rect &r) {
    const int dpi =
        opts_.region_dpi > 0 ? std::min(opts_.region_dpi, opts_.resolution) : opts_.resolution;
    const double scale = double(dpi) / opts_.resolution;
    const double width = std::ceil((r.x1 - r.x0) * scale);
    // Bands of whole rendered rows within the memory budget.
    const double band_rows =
        std::max(1.0, std::floor(double(kRegionBandBytes) / (std::max(width, 1.0) * 3)));
    const double band = std::max(1.0, std::floor(band_rows / scale));
    ++page_fallbacks_;
    ++stats_.fallback_regions;
    for (double y = r.y0; y < r.y1; y += band) {
        const Rect b{r.x0, y, r.x1, std::min(r.y1, y + band)};
        Pixels px;
        if (!doc_.render_region(b, scale, px))
            throw PageError("a region could not be rendered");
        as_jpeg_ = opts_.jpeg && photographic(px);
        place_pixels(px, {b.x1 - b.x0, 0, 0, b.y1 - b.y0, b.x0, b.y0}, false, {});
        as_jpeg_ = false;
    }
}

} // namespace pclxl::pdf
