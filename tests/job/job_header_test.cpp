// The PJL job header, the stream header line and the trailer.
#include <algorithm>
#include <sstream>

#include <gtest/gtest.h>

#include "capture.h"

using namespace pclxl_test;

namespace {

const std::string kUEL = "\x1B%-12345X";
const std::string kStreamHeader = ") HP-PCL XL;3;0;Comment libpclxl " PCLXL_VERSION_STRING "\r\n";

struct Job {
    const char *paper = "A4", *media_type = "plain", *media_source = "tray_1", *color = "color";
    bool collate = false;
    const char *duplex = "simplex";
    uint32_t copies = 2;
};

// Writes the header and returns it; checks it is one piece with its trace.
std::string header_of(const Job &j) {
    Capture cap;
    std::string err = capture_stderr([&] {
        pclxl_start_job_new(j.paper, j.media_type, j.media_source, j.color, j.collate, j.duplex,
                            j.copies);
    });
    EXPECT_EQ(err, "=> pclxl_start_job_new\n<= pclxl_start_job_new\n");
    EXPECT_EQ(cap.pieces().size(), 1u);
    Bytes all = cap.all();
    return std::string(all.begin(), all.end());
}

// The value of "@PJL SET NAME=" in `header`, "(none)" when absent.
std::string pjl_value(const std::string &header, const std::string &name) {
    std::string key = "@PJL SET " + name + "=";
    size_t at = header.find(key);
    if (at == std::string::npos)
        return "(none)";
    size_t begin = at + key.size();
    return header.substr(begin, header.find("\r\n", begin) - begin);
}

// Nothing from the host's text started or ended a line: as many line ends as
// the default header, and no ESC after the UEL that opens it.
void expect_lines_kept(const std::string &header) {
    static const std::string plain = header_of(Job{});
    for (char end : {'\n', '\r'})
        EXPECT_EQ(std::count(header.begin(), header.end(), end),
                  std::count(plain.begin(), plain.end(), end));
    EXPECT_EQ(header.find('\x1B', 1), std::string::npos);
}

TEST(JobHeader, FullHeaderIsExact) {
    const std::string expected =
        kUEL + "@PJL JOB\r\n@PJL COMMENT Version 2.0 For Windows 2000\r\n"
               "@PJL SET TIMEOUT=90\r\n@PJL SET JOBID=19\r\n@PJL SET USERNAME=\"PO-1544\"\r\n"
               "@PJL SET JOBNAME=\"lalalala\"\r\n@PJL SET JOBOWNER=\"qvLTSRNEGGXFBTLUZ\"\r\n"
               "@PJL SET RENDERMODE=COLOR\r\n@PJL SET COPIES=2\r\n@PJL SET QTY=1\r\n"
               "@PJL SET DUPLEX=DISABLE\r\n@PJL SET LCOLORMODEL=CMYK\r\n"
               "@PJL SET BITSPERPIXEL=2\r\n@PJL SET RESOLUTION=R600X600\r\n"
               "@PJL SET PAPER=A4\r\n@PJL SET MEDIATYPE=PLAIN\r\n@PJL SET MEDIASOURCE=OPTIONAL1\r\n"
               "@PJL SET PAPERMISMATCH=ENABLE\r\n@PJL SET IORIENTATION=IPORTRAIT\r\n"
               "@PJL SET HOLDPRINT=DISABLE\r\n@PJL SET TIMEPRINT=DISABLE\r\n"
               "@PJL SET BLANKSUPPRESS=DISABLE\r\n@PJL SET RBMODE=DISABLE\r\n"
               "@PJL SET NOMARGINPRINT=DISABLE\r\n@PJL ENTER LANGUAGE=PCLXL\r\n";
    EXPECT_EQ(header_of(Job{}), expected + kStreamHeader);
}

// Each "NAME=value" pair in `pairs` holds in `header` ("(none)": no such line).
void expect_lines(const std::string &header, const char *pairs) {
    std::istringstream in(pairs);
    for (std::string pair; in >> pair;) {
        const size_t eq = pair.find('=');
        EXPECT_EQ(pjl_value(header, pair.substr(0, eq)), pair.substr(eq + 1));
    }
}

// Each row: a job and the lines it must select.
TEST(JobHeader, OptionsSelectTheirLines) {
    struct Case {
        Job job;
        const char *lines;
    } cases[] = {
        {{"A4", "plain", "tray_1", "color", true, "simplex", 3}, "COPIES=1 QTY=3"},
        {{"A4", "plain", "", "", false, "simplex", 4294967295u}, "COPIES=4294967295"},
        {{"A4", "plain", "", "", false, "simplex", 1}, "RENDERMODE=COLOR LCOLORMODEL=CMYK"},
        {{"A4", "plain", "", "c", false, "simplex", 1}, "LCOLORMODEL=CMYK"},
        {{"A4", "plain", "", "Color", false, "simplex", 1},
         "RENDERMODE=GRAYSCALE LCOLORMODEL=BLACK"},
        {{"A4", "plain", "", "color", false, "duplex", 1}, "DUPLEX=ENABLE BINDING=SHORTEDGE"},
        {{"A4", "plain", "", "color", false, "duplex_long_edge", 1}, "BINDING=LONGEDGE"},
        {{"A4", "plain", "", "color", false, "simplex ", 1}, "BINDING=LONGEDGE"},
        {{"A4", "", "", "color", false, "simplex", 1}, "MEDIATYPE=PLAIN1 MEDIASOURCE=AUTOSELECT"},
        {{"BIG 16K", "tissue", "tray_2", "color", false, "simplex", 1},
         "PAPER=K16 MEDIATYPE=TAB MEDIASOURCE=OPTIONAL2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lines);
        expect_lines(header_of(c.job), c.lines);
    }
}

// Written through pclxl_start_job_with; "" when it refused.
std::string settings_header(const pclxl_job_settings &s, std::string *err = nullptr) {
    Capture cap;
    int result = 0;
    std::string lines = capture_stderr([&] { result = pclxl_start_job_with(&s); });
    if (err != nullptr)
        *err = lines;
    EXPECT_EQ(cap.pieces().size(), result ? 1u : 0u);
    Bytes all = cap.all();
    return std::string(all.begin(), all.end());
}

pclxl_job_settings settings_of(const Job &j) {
    pclxl_job_settings s = {sizeof s, j.paper,  j.media_type, j.media_source, j.color, j.collate,
                            j.duplex, j.copies, nullptr,      nullptr,        0};
    return s;
}

TEST(JobSettings, WithoutExtrasTheBytesOfTheFixedHeader) {
    for (Job job : {Job{}, Job{"Letter", "", "", "mono", true, "duplex_short_edge", 7}}) {
        std::string err;
        EXPECT_EQ(settings_header(settings_of(job), &err), header_of(job));
        EXPECT_EQ(err, "=> pclxl_start_job_with\n<= pclxl_start_job_with\n");
    }
}

TEST(JobSettings, ResolutionReachesItsLine) {
    pclxl_job_settings s = settings_of(Job{});
    for (uint16_t dpi : {300, 1200}) {
        s.resolution = dpi;
        EXPECT_EQ(pjl_value(settings_header(s), "RESOLUTION"),
                  "R" + std::to_string(dpi) + "X" + std::to_string(dpi));
    }
}

// Text from the host cannot break a PJL line. Names the tables do not hold
// still get their line in PJL-safe form, at most 64 characters; a job or
// user name is one quoted value whatever the host passes.
TEST(JobSettings, HostileNamesCannotInjectPJL) {
    const std::string overlong(5000, 'n');
    const struct {
        const char *name;
        std::string paper, quoted;
    } cases[] = {
        {"Tabloid-Extra", "TABLOID-EXTRA", "Tabloid-Extra"},
        {"x\r\n@PJL SET COPIES=99", "XPJLSETCOPIES99", "x__@PJL SET COPIES=99"},
        {"say \"hi\"\x01\x7F", "SAYHI", "say _hi___"},
        {"\x1B%-12345X", "-12345X", "_%-12345X"},
        {"caf\xC3\xA9\t\xC3\xA4 umlaut", "CAFUMLAUT", "caf_____ umlaut"},
        {"\r\n", "A4", "__"},
        {"", "A4", ""},
        {overlong.c_str(), std::string(64, 'N'), overlong.substr(0, PCLXL_JOB_TEXT_MAX)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.quoted);
        pclxl_job_settings s = settings_of(Job{});
        s.paper_name = s.media_type = s.media_source = s.job_name = s.user_name = c.name;
        std::string header = settings_header(s);
        EXPECT_EQ(pjl_value(header, "PAPER"), c.paper);
        for (const char *line : {"JOBNAME", "USERNAME", "JOBOWNER"})
            EXPECT_EQ(pjl_value(header, line), "\"" + c.quoted + "\"") << line;
        expect_lines_kept(header);
    }
}

// Settings that cannot be met: one error line, nothing written.
TEST(JobSettings, RefusalsWriteNothing) {
    pclxl_job_settings small = settings_of(Job{}), odd = settings_of(Job{});
    small.size = sizeof small - 1;
    odd.resolution = 601;
    for (const pclxl_job_settings *s : {&small, &odd, static_cast<pclxl_job_settings *>(nullptr)}) {
        Capture cap;
        std::string err = capture_stderr([&] { EXPECT_EQ(pclxl_start_job_with(s), 0); });
        EXPECT_TRUE(cap.pieces().empty());
        EXPECT_EQ(err.rfind("pclxl_start_job_with(): Fatal Error: ", 0), 0u) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    }
}

TEST(JobHeader, ShortHeaderAndTrailer) {
    Capture cap;
    std::string err = capture_stderr([] { pclxl_start_job("color", 600); });
    EXPECT_EQ(err, "=> pclxl_start_job\n<= pclxl_start_job\n");
    ASSERT_EQ(cap.pieces().size(), 1u);
    EXPECT_EQ(cap.pieces()[0], bytes_of(kUEL +
                                        "@PJL SET RENDERMODE=COLOR\r\n"
                                        "@PJL SET RESOLUTION=600\r\n"
                                        "@PJL ENTER LANGUAGE=PCLXL\r\n" +
                                        kStreamHeader));
    cap.clear();
    err = capture_stderr([] { pclxl_end_job(); });
    EXPECT_EQ(err, "=> pclxl_end_job\n<= pclxl_end_job\n");
    ASSERT_EQ(cap.pieces().size(), 1u);
    EXPECT_EQ(cap.pieces()[0], bytes_of(kUEL + "@PJL EOJ\r\n" + kUEL));
}

} // namespace
