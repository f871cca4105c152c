// The job model: every name and size a front end accepts finds the row it
// means, and a job gives the library the settings it describes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "job.h"

using namespace pclxl_host;

namespace {

std::string lower(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Every paper by its name and its PPD keyword, in any case, and by its
// size: exact, 1.4 points off either way, never 1.6 points off.
TEST(JobPaper, EveryNameAndSizeFindsItsRow) {
    for (const Paper &p : pclxl_media::kPapers) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(find_paper(p.name), &p);
        EXPECT_EQ(find_paper(p.ppd_name), &p);
        EXPECT_EQ(find_paper(lower(p.name).c_str()), &p);
        EXPECT_EQ(find_paper(lower(p.ppd_name).c_str()), &p);
        EXPECT_EQ(paper_for_size(p.width_pt, p.height_pt), &p);
        EXPECT_EQ(paper_for_size(p.width_pt + 1.4, p.height_pt - 1.4), &p);
        EXPECT_EQ(paper_for_size(p.width_pt - 1.4, p.height_pt + 1.4), &p);
        EXPECT_NE(paper_for_size(p.width_pt + 1.6, p.height_pt), &p);
        EXPECT_NE(paper_for_size(p.width_pt, p.height_pt - 1.6), &p);
        // IPP's sizes are whole hundredths of a millimetre.
        EXPECT_EQ(paper_for_hmm(static_cast<int>(std::lround(p.width_pt * 2540 / 72.0)),
                                static_cast<int>(std::lround(p.height_pt * 2540 / 72.0))),
                  &p);
    }
    for (const char *unknown : {"", "Napkin", "A4 ", "A44", "CUSTOM"})
        EXPECT_EQ(find_paper(unknown), nullptr) << unknown;
    EXPECT_EQ(find_paper(nullptr), nullptr);
    // Sizes are portrait; a landscape size is no paper.
    EXPECT_EQ(paper_for_size(842, 595), nullptr);
    EXPECT_EQ(paper_for_size(0, 0), nullptr);
}

// A size in a PWG name, "..._210x297mm" or "..._8.5x11in", in points.
bool pwg_size(const std::string &pwg, double &w, double &h) {
    const size_t us = pwg.rfind('_');
    char *end = nullptr;
    w = std::strtod(pwg.c_str() + us + 1, &end);
    if (*end != 'x')
        return false;
    h = std::strtod(end + 1, &end);
    const double unit = !std::strcmp(end, "mm") ? 72 / 25.4 : !std::strcmp(end, "in") ? 72 : 0;
    w *= unit;
    h *= unit;
    return unit > 0;
}

// The printer application's sizes: each PWG name is the paper of the size
// the name spells out.
TEST(JobPaper, EveryPwgSizeIsThePaperOfItsSize) {
    ASSERT_EQ(kPwgPaperCount, 17u);
    for (size_t i = 0; i < kPwgPaperCount; i++) {
        SCOPED_TRACE(kPwgPapers[i].pwg);
        const Paper *p = paper_for_pwg(kPwgPapers[i].pwg);
        ASSERT_NE(p, nullptr);
        double w = 0, h = 0;
        ASSERT_TRUE(pwg_size(kPwgPapers[i].pwg, w, h));
        EXPECT_EQ(paper_for_size(w, h), p) << w << "x" << h;
    }
    EXPECT_STREQ(paper_for_pwg("na_ledger_11x17in")->name, "11x17");
    EXPECT_EQ(paper_for_pwg("iso_a4_210x297"), nullptr);
    EXPECT_EQ(paper_for_pwg(nullptr), nullptr);
}

TEST(JobPaper, NearestKnownPaperInEitherOrientation) {
    const struct {
        double w, h;
        const char *paper;
    } kCases[] = {
        {595, 842, "A4"},          {842, 595, "A4"},     {612, 792, "Letter"},
        {609.7, 789, "Letter"},    {612, 1008, "Legal"}, {842, 1191, "A3"},
        {300, 400, "Env_Monarch"}, {2000, 3000, "A3"},   {1, 1, "Env_Monarch"},
    };
    for (const auto &k : kCases) {
        const Paper *p = nearest_paper(k.w, k.h);
        ASSERT_TRUE(p);
        EXPECT_STREQ(p->name, k.paper) << k.w << "x" << k.h;
        EXPECT_TRUE(p->code_known_everywhere);
    }
}

// Media types and trays by the names the tool and the PPD use (any case),
// and by the printer application's PWG keywords, down to what the printer
// receives: the PJL word and the page's media source or media type text.
TEST(JobMedia, EveryMediaTypeAndTrayName) {
    for (const MediaType &m : pclxl_media::kMediaTypes) {
        EXPECT_EQ(find_media_type(m.name), &m);
        EXPECT_EQ(find_media_type(lower(m.name).c_str()), &m);
    }
    for (const Tray &t : pclxl_media::kTrays) {
        EXPECT_EQ(find_tray(t.name), &t);
        EXPECT_EQ(find_tray(lower(t.name).c_str()), &t);
    }
    for (const char *unknown : {"", "drawer", "plain ", "tray-1"}) {
        EXPECT_EQ(find_media_type(unknown), nullptr) << unknown;
        EXPECT_EQ(find_tray(unknown), nullptr) << unknown;
    }
    EXPECT_EQ(find_media_type(nullptr), nullptr);
    EXPECT_EQ(find_tray(nullptr), nullptr);
}

// The printer application's sources and media types, down to what the
// printer receives.
TEST(JobMedia, EveryPwgSourceAndTypeGoesToItsRow) {
    struct Row {
        const char *pwg, *name, *pjl, *page; // page: the media source or type on the page
    };
    const Row kSources[] = {
        {"auto", "auto", "AUTOSELECT", "1"},
        {"by-pass-tray", "mpf_tray", "MULTIPLE", "3"},
        {"tray-1", "tray_1", "OPTIONAL1", "5"},
        {"tray-2", "tray_2", "OPTIONAL2", "7"},
    };
    const Row kTypes[] = {
        {"stationery", "plain", "PLAIN", "Plain"},
        {"stationery-lightweight", "tissue", "TAB", "Light"},
        {"stationery-heavyweight", "tough_1", "THICK1", "Heavy"},
        {"cardstock", "cardstock", "POSTCARD", "Card Stock"},
        {"labels", "labels", "LABELS", "Labels"},
        {"envelope", "envelope", "ENVELOPE", "Envelope"},
        {"transparency", "film", "FILM", "Transparency"},
    };
    ASSERT_EQ(kPwgSourceCount, std::size(kSources));
    for (size_t i = 0; i < kPwgSourceCount; i++) {
        SCOPED_TRACE(kSources[i].pwg);
        EXPECT_STREQ(kPwgSources[i].pwg, kSources[i].pwg);
        const Tray *t = tray_for_pwg(kSources[i].pwg);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(std::string(t->name) + " " + t->pjl + " " + std::to_string(t->media_source),
                  std::string(kSources[i].name) + " " + kSources[i].pjl + " " + kSources[i].page);
    }
    ASSERT_EQ(kPwgMediaTypeCount, std::size(kTypes));
    for (size_t i = 0; i < kPwgMediaTypeCount; i++) {
        SCOPED_TRACE(kTypes[i].pwg);
        EXPECT_STREQ(kPwgMediaTypes[i].pwg, kTypes[i].pwg);
        const MediaType *m = media_type_for_pwg(kTypes[i].pwg);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(std::string(m->name) + " " + m->pjl + " " + m->pclxl_name,
                  std::string(kTypes[i].name) + " " + kTypes[i].pjl + " " + kTypes[i].page);
    }
    EXPECT_EQ(tray_for_pwg("tray-3"), nullptr);
    EXPECT_EQ(tray_for_pwg(nullptr), nullptr);
    EXPECT_EQ(media_type_for_pwg("photographic"), nullptr);
}

// Every front end's word for two-sided printing, and what the library gets.
TEST(JobSides, EveryFrontEndsWord) {
    const struct {
        const char *word;
        Sides sides;
        const char *library;
    } kWords[] = {
        {"simplex", Sides::OneSided, "simplex"},
        {"long-edge", Sides::LongEdge, "duplex_long_edge"},
        {"short-edge", Sides::ShortEdge, "duplex_short_edge"},
        {"None", Sides::OneSided, "simplex"},
        {"DuplexNoTumble", Sides::LongEdge, "duplex_long_edge"},
        {"DuplexTumble", Sides::ShortEdge, "duplex_short_edge"},
        {"one-sided", Sides::OneSided, "simplex"},
        {"two-sided-long-edge", Sides::LongEdge, "duplex_long_edge"},
        {"two-sided-short-edge", Sides::ShortEdge, "duplex_short_edge"},
        {"duplex_long_edge", Sides::LongEdge, "duplex_long_edge"},
        {"duplex_short_edge", Sides::ShortEdge, "duplex_short_edge"},
    };
    for (const auto &k : kWords) {
        Sides s = k.sides == Sides::OneSided ? Sides::ShortEdge : Sides::OneSided;
        EXPECT_TRUE(parse_sides(k.word, s)) << k.word;
        EXPECT_EQ(s, k.sides) << k.word;
        EXPECT_STREQ(duplex_mode(s), k.library) << k.word;
    }
    for (const char *bad : {"", "sideways", "duplex", "tumble", "Long-Edge"}) {
        Sides s = Sides::LongEdge;
        EXPECT_FALSE(parse_sides(bad, s)) << bad;
        EXPECT_EQ(s, Sides::LongEdge) << bad;
    }
    Sides s = Sides::LongEdge;
    EXPECT_FALSE(parse_sides(nullptr, s));
    EXPECT_STREQ(sides_word(Sides::ShortEdge), "short-edge");
}

TEST(JobOptionValue, TrueWordsOnly) {
    for (const char *yes : {"true", "True", "ON", "yes", "1"})
        EXPECT_TRUE(is_true(yes)) << yes;
    for (const char *no : {"false", "off", "no", "0", "", "2", "truth", "yes please"})
        EXPECT_FALSE(is_true(no)) << no;
    EXPECT_FALSE(is_true(nullptr));
}

TEST(JobPageRanges, ParseAsCupsWrites) {
    const struct {
        const char *text;
        bool ok;
        std::vector<int> in, out; // pages selected and not
    } kCases[] = {
        {"", true, {1, 2, 1000}, {}},  {"1-3,7,10-", true, {1, 3, 7, 10, 99999}, {4, 6, 8, 9}},
        {"-2", true, {1, 2}, {3}},     {"5", true, {5}, {4, 6}},
        {"3-1", false, {}, {}},        {"0", false, {}, {}},
        {"1,,2", false, {}, {}},       {"1,", false, {}, {}},
        {"a-b", false, {}, {}},        {"1-2-3", false, {}, {}},
        {"9999999999", false, {}, {}},
    };
    for (const auto &k : kCases) {
        PageRanges r;
        EXPECT_EQ(parse_page_ranges(k.text, r), k.ok) << k.text;
        for (int p : k.in)
            EXPECT_TRUE(r.contains(p)) << k.text << " page " << p;
        for (int p : k.out)
            EXPECT_FALSE(r.contains(p)) << k.text << " page " << p;
    }
}

std::string text(const char *s) { return s ? s : "(null)"; }

// What the library is told for a job: every field of the settings.
TEST(JobModelSettings, SayWhatTheJobSays) {
    Job defaults;
    Job letter;
    letter.paper = find_paper("Letter");
    letter.media_type = find_media_type("film");
    letter.tray = find_tray("tray_2");
    letter.sides = Sides::ShortEdge;
    letter.color = false;
    letter.resolution = 1200;
    letter.copies = 70000;
    letter.collate = true;
    letter.title = "report";
    letter.user = "ann";
    Job unknown_type;
    unknown_type.media_type = nullptr;
    unknown_type.other_media_type = "Glossy";
    Job printer_default_type;
    printer_default_type.media_type = nullptr;

    const struct {
        const Job &job;
        const char *paper, *media_type, *page_media_type, *tray, *color, *duplex;
        unsigned copies;
        bool collate;
        const char *title, *user;
        unsigned resolution;
        const char *describe;
    } kCases[] = {
        {defaults, "CUSTOM", "plain", "Plain", "auto", "color", "simplex", 1, false, "(null)",
         "(null)", 600, "paper CUSTOM, media plain, tray auto, colour, simplex, 1 copy"},
        {letter, "Letter", "film", "Transparency", "tray_2", "gray", "duplex_short_edge", 65535,
         true, "report", "ann", 1200,
         "paper Letter, media film, tray tray_2, gray, short-edge, 65535 copies, collated"},
        {unknown_type, "CUSTOM", "Glossy", "Glossy", "auto", "color", "simplex", 1, false, "(null)",
         "(null)", 600, "paper CUSTOM, media Glossy, tray auto, colour, simplex, 1 copy"},
        {printer_default_type, "CUSTOM", "", "Plain", "auto", "color", "simplex", 1, false,
         "(null)", "(null)", 600,
         "paper CUSTOM, media default, tray auto, colour, simplex, 1 copy"},
    };
    for (const auto &k : kCases) {
        SCOPED_TRACE(k.describe);
        const pclxl_job_settings s = k.job.settings();
        EXPECT_EQ(s.size, sizeof s);
        EXPECT_EQ(text(s.paper_name), k.paper);
        EXPECT_EQ(text(s.media_type), k.media_type);
        EXPECT_STREQ(k.job.page_media_type(), k.page_media_type);
        EXPECT_EQ(text(s.media_source), k.tray);
        EXPECT_EQ(text(s.color_mode), k.color);
        EXPECT_EQ(text(s.duplex_mode), k.duplex);
        EXPECT_EQ(s.copies, k.copies);
        EXPECT_EQ(s.collate, k.collate);
        EXPECT_EQ(text(s.job_name), k.title);
        EXPECT_EQ(text(s.user_name), k.user);
        EXPECT_EQ(s.resolution, k.resolution);
        EXPECT_EQ(k.job.describe(), k.describe);
    }
    Job none;
    none.copies = 0;
    EXPECT_EQ(none.settings().copies, 1u);
}

} // namespace
