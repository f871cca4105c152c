// Every front end (the tool's commands, PDF through `pclxl convert` and the PDF filter when built,
// dump, the raster filter) in a faulty environment: a full disk, closed standard descriptors, odd
// outputs, little memory, a reader that goes away, inputs that promise gigabytes or fail mid-job,
// bad objects in a PDF. Each row runs one command in a fresh directory and states its exit status,
// its one message (the filters: their one ERROR: or WARNING: line) and what the output holds
// afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "dump_support.h"
#include "image_io.h"
#include "tool_run.h"
#ifdef PCLXL_FILTER
#include "raster_maker.h"
#endif

namespace {

using tool_test::slurp;
using tool_test::write_file;

enum class Holds {
    Nothing, // the file is absent or empty, and no temporary file is left
    Job,     // a complete job of `pages` pages that the reader accepts
    Old,     // the file still holds "old"
    Any,     // not looked at
};

struct Row {
    const char *front_end;
    const char *fault;
    std::string command; // bash, in the scratch directory; $P is pclxl, $F the filter
    int status;
    const char *message; // part of the one line; "" for no line
    Holds holds;
    const char *output; // the file looked at
    size_t pages;
    // Plain: no sanitizer, whose shadow memory a low ulimit -v denies.
    enum Needs { Anything, Root, Plain } needs = Anything;
};

// A 5000x6000 RGB PNG of 90 MB of pixels (more than the rows' ulimit -v of
// 80 MB, whatever the program's own size) in a small file: every row alike.
void put_big_png(const std::string &path) {
    pclxl_tool::Image img;
    img.kind = pclxl_tool::Image::Rgb;
    img.width = 5000;
    img.height = 6000;
    img.pixels.resize(size_t(3) * 5000 * 6000);
    for (size_t i = 0; i < img.pixels.size(); ++i)
        img.pixels[i] = uint8_t(i % 15000 * 7);
    std::string error;
    ASSERT_TRUE(pclxl_tool::save_png(path, img, false, error)) << error;
}

// The inputs of every row.
void make_inputs(const std::string &dir) {
    write_file(dir + "/a.pgm", std::string("P5 2 2 255\n\x00\x80\x80\xff", 15));
    write_file(dir + "/b.pgm", "P2 3 1 255 0 128 255");
    write_file(dir + "/bad.ppm", "P6 65535 65535 255\n");
    put_big_png(dir + "/big.png");
    // The big PNG's header with 65535x65535 pixels (1.4 KB would do).
    std::string huge = slurp(dir + "/big.png").substr(0, 33);
    for (size_t at : {16, 20})
        huge.replace(at, 4, std::string("\x00\x00\xFF\xFF", 4));
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef *>(&huge[12]), 17));
    for (int i = 0; i < 4; ++i)
        huge[29 + i] = char(crc >> (24 - 8 * i));
    write_file(dir + "/huge.png", huge + slurp(dir + "/big.png").substr(33, 1400));
    write_file(dir + "/in.txt", "one\ntwo\fthree\n");
    write_file(dir + "/old.pxl", "old");
    // A stream for dump: a page whose image declares 65535x65535 pixels
    // and carries one row.
    const std::string image =
        "C0 01 F8 03 6A C0 00 F8 64 C0 02 F8 62 C1 FF FF F8 6C C1 FF FF F8 6B "
        "D1 04 00 02 00 F8 67 B0 C1 00 00 F8 6D C1 01 00 F8 63 ";
    auto job = [](const std::string &body) {
        const dump_test::Bytes b = dump_test::from_hex(dump_test::in_job(body));
        return std::string(b.begin(), b.end());
    };
    write_file(dir + "/declared.pxl", job(image + "C0 03 F8 65 B1 FB 02 00 00 B2"));
#ifdef PCLXL_FILTER
    using namespace filter_test;
    const Page gray{a4_header(8, CUPS_CSPACE_SW),
                    [](unsigned y, unsigned char *row) { std::memset(row, int(y * 9), 64); }};
    write_file(dir + "/two.ras", make_raster({gray, gray}));
    // Noise pages of 1000x1000 pixels: more job than a pipe holds.
    cups_page_header2_t wide = a4_header(8, CUPS_CSPACE_SW);
    wide.cupsWidth = wide.cupsBytesPerLine = wide.cupsHeight = 1000;
    Page noise{wide, [](unsigned y, unsigned char *row) {
                   for (unsigned x = 0; x < 1000; ++x)
                       row[x] = static_cast<unsigned char>((x * 2654435761u + y * 40503u) >> 13);
               }};
    write_file(dir + "/noise.ras", make_raster({noise, noise}));
    // A header for a page of 32000x32000 RGB pixels, and no rows.
    cups_page_header2_t promise = a4_header(24, CUPS_CSPACE_RGB);
    promise.cupsWidth = promise.cupsHeight = 32000;
    promise.cupsBytesPerLine = 3 * 32000;
    write_file(dir + "/huge.ras",
               make_raster({}) + std::string(reinterpret_cast<char *>(&promise), sizeof promise));
#endif
}

void check_output(const Row &row, const std::string &dir) {
    const std::string path = dir + "/" + row.output;
    const std::string bytes = slurp(path);
    switch (row.holds) {
    case Holds::Nothing: {
        EXPECT_EQ(bytes.size(), 0u);
        const std::string left = "ls '" + path + "'.?????? 2>/dev/null | grep -q .";
        EXPECT_NE(std::system(left.c_str()), 0) << "a temporary file is left";
        break;
    }
    case Holds::Job: {
        const tool_test::Job job = tool_test::read_job(path);
        EXPECT_TRUE(job.ok) << job.error.offset << ": " << job.error.message;
        EXPECT_EQ(job.summary.pages.size(), row.pages);
        break;
    }
    case Holds::Old: EXPECT_EQ(bytes, "old"); break;
    case Holds::Any: break;
    }
}

// The reader of a pipe that goes away after 10 bytes: the writer's status.
std::string into_short_pipe(const std::string &command) {
    return command + " | head -c 10 >/dev/null; exit ${PIPESTATUS[0]}";
}

// A front end that is not built leaves its rows out.
bool not_built(const std::string &command) {
    return (command.find("$F ") != std::string::npos && !*PCLXL_FILTER_PROGRAM) ||
           (command.find("$G ") != std::string::npos && !*PCLXL_PDF_FILTER_PROGRAM) ||
           (command.find("$D") != std::string::npos && !*PCLXL_PDF_DATA);
}

// Runs `command` with bash in `dir`, its stderr into `err`: the raw status.
int run_in(const std::string &dir, const std::string &command, std::string &err) {
    write_file(dir + "/../.cmd", command + "\n");
    const int raw = std::system(("cd '" + dir +
                                 "' && P='" PCLXL_TOOL "' F='" PCLXL_FILTER_PROGRAM
                                 "' G='" PCLXL_PDF_FILTER_PROGRAM "' D='" PCLXL_PDF_DATA
                                 "' bash ../.cmd >/dev/null 2>../.err </dev/null")
                                    .c_str());
    err = slurp(dir + "/../.err");
    return raw;
}

const std::string kFilter = "$F 7 alice report 1 ''";
const std::string kNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

TEST(Faults, EveryFrontEndGivesOneMessageAndAWholeJobOrNothing) {
    const Row kRows[] = {
        {"convert", "disk full", "$P convert a.pgm -o $FULL", 1,
         "' failed: No space left on device", Holds::Any, "", 0},
        {"convert", "stdout closed", "$P convert a.pgm -o - >&-", 1,
         "writing '-' failed: Bad file descriptor", Holds::Any, "", 0},
        {"convert", "stderr closed", "$P convert a.pgm b.pgm -o out 2>&-", 0, "", Holds::Job, "out",
         2},
        {"convert", "device node", "mknod dev c 1 3 && $P convert a.pgm -o dev && test -c dev", 0,
         "", Holds::Any, "", 0, Row::Root},
        {"convert", "another user's writable file in a read-only folder",
         "mkdir ro && echo old >ro/f && chmod 666 ro/f && chmod 555 ro && " + kNobody +
             "$P convert a.pgm -o ro/f",
         0, "", Holds::Job, "ro/f", 1, Row::Root},
        {"convert", "FIFO",
         "mkfifo fifo && { cat fifo >out & } && $P convert a.pgm b.pgm -o fifo; s=$?; wait; "
         "test -p fifo && exit $s",
         0, "", Holds::Job, "out", 2},
        {"convert", "link", "ln -s out link && $P convert a.pgm -o link && test -L link", 0, "",
         Holds::Job, "out", 1},
        {"convert", "low ulimit -v", "(ulimit -v 80000; $P convert big.png -o out)", 1,
         "big.png: not enough memory for 5000x6000 pixels", Holds::Nothing, "out", 0, Row::Plain},
        {"convert", "PNG promises 12 GB", "$P convert huge.png -o out", 1,
         "65535x65535 pixels cannot come from", Holds::Nothing, "out", 0},
        // bad.ppm's header promises 12 GB.
        {"convert", "input fails mid-job, file", "$P convert a.pgm bad.ppm b.pgm -o old.pxl", 1,
         "bad.ppm: PNM data is truncated (65535x65535 pixels need 12884508675 bytes", Holds::Old,
         "old.pxl", 0},
        {"convert", "input fails mid-job, stream", "$P convert a.pgm bad.ppm b.pgm -o - >out", 1,
         "bad.ppm: PNM data is truncated", Holds::Job, "out", 1},
        {"convert", "standard input", "$P convert - -o out <a.pgm", 0, "", Holds::Job, "out", 1},
        {"convert PDF", "disk full", "$P convert $D/vector.pdf -o $FULL", 1,
         "' failed: No space left on device", Holds::Any, "", 0},
        {"convert PDF", "unreadable", "$P convert $D/hostile-broken-xref.pdf -o - >out", 1,
         "the PDF has no pages that can be read", Holds::Nothing, "out", 0},
        // A bad object in the middle of three pages: left out, with one
        // warning, and every page printed (the other bad objects: test_pdf).
        {"convert PDF", "broken JPX image, file", "$P convert $D/bad-jpx.pdf -o old.pxl", 0,
         "page 2: an image left out (Failed to read JPX header)", Holds::Job, "old.pxl", 3},
        {"convert PDF", "image 100000 pixels wide, stream", "$P convert $D/bad-wide.pdf -o - >out",
         0, "page 2: an image left out (image is too wide)", Holds::Job, "out", 3},
        {"PDF filter", "noise",
         "head -c 20000 /dev/urandom >noise.pdf && $G 7 a r 1 '' noise.pdf >out", 1,
         "ERROR: cannot open the PDF", Holds::Nothing, "out", 0},
        {"PDF filter", "broken JPX image", "$G 7 alice report 1 '' $D/bad-jpx.pdf >out", 0,
         "WARNING: page 2: an image left out (Failed to read JPX header)", Holds::Job, "out", 3},
        {"PDF filter", "500 nested forms, standard input",
         "$G 7 alice report 1 '' <$D/bad-forms.pdf >out", 0,
         "WARNING: page 2: forms nested too deep left out", Holds::Job, "out", 3},
        {"PDF filter", "image 100000 pixels wide, raster route",
         "$G 7 alice report 1 pclxlRender=Raster $D/bad-wide.pdf >out", 0,
         "WARNING: page 2: an image left out", Holds::Job, "out", 3},
        {"text", "low ulimit -v",
         "head -c 16000000 /dev/zero | tr '\\0' x | fold -w 70 >big.txt && "
         "(ulimit -v 80000; $P text big.txt -o out)",
         1, "pclxl text: out of memory", Holds::Nothing, "out", 0, Row::Plain},
        {"text", "input fails mid-job, stream", "$P text in.txt missing.txt -o - >out", 1,
         "missing.txt: No such file or directory", Holds::Nothing, "out", 0},
        {"testpage", "SIGPIPE", into_short_pipe("$P testpage -o -"), 1,
         "writing '-' failed: Broken pipe", Holds::Any, "", 0},
        {"dump", "disk full", "$P testpage -o tp.pxl && $P dump tp.pxl >/dev/full", 2,
         "writing the listing failed: No space left on device", Holds::Any, "", 0},
        {"dump", "SIGPIPE (ends silently, as listings do)",
         "$P testpage -o tp.pxl && " + into_short_pipe("cat tp.pxl tp.pxl tp.pxl | $P dump -"),
         128 + SIGPIPE, "", Holds::Any, "", 0},
        {"dump", "image promises 4 GB", "timeout 60 $P dump --images img declared.pxl >/dev/null",
         0, "", Holds::Any, "", 0},
        {"dump", "low ulimit -v",
         "$P testpage -o tp.pxl && (ulimit -v 100000; $P dump --summary tp.pxl >/dev/null)", 0, "",
         Holds::Any, "", 0, Row::Plain},
        {"filter", "disk full", kFilter + " <two.ras >/dev/full", 1,
         "ERROR: Unable to write the print data: No space left on device", Holds::Any, "", 0},
        {"filter", "stdout closed", kFilter + " <two.ras >&-", 1,
         "ERROR: Unable to write the print data: Bad file descriptor", Holds::Any, "", 0},
        {"filter", "stderr closed", kFilter + " <two.ras >out 2>&-", 0, "", Holds::Job, "out", 2},
        {"filter", "SIGPIPE", into_short_pipe(kFilter + " <noise.ras"), 1,
         "ERROR: Unable to write the print data: Broken pipe", Holds::Any, "", 0},
        {"filter", "header promises 3 GB", kFilter + " huge.ras >out", 1,
         "ERROR: The raster data of page 1 is cut off.", Holds::Nothing, "out", 0},
        {"filter", "low ulimit -v", "(ulimit -v 60000; " + kFilter + " two.ras >out)", 0, "",
         Holds::Job, "out", 2, Row::Plain},
    };
    const tool_test::TempDir scratch;
    chmod(scratch.path.c_str(), 0755); // for the rows run as another user
    const std::string inputs = scratch / "inputs";
    ASSERT_EQ(mkdir(inputs.c_str(), 0755), 0);
    make_inputs(inputs);
    for (const Row &row : kRows) {
        SCOPED_TRACE(std::string(row.front_end) + ", " + row.fault + ": " + row.command);
        // Rows for a front end that is not built, or that need root or a
        // build without sanitizers.
        const char *skip = nullptr;
        if (row.needs == Row::Root && geteuid() != 0)
            skip = "needs root";
        else if (row.needs == Row::Plain && *PCLXL_SANITIZE)
            skip = "sanitizer build";
        else if (not_built(row.command))
            skip = "not built";
        if (skip) {
            std::printf("skipped (%s): %s, %s\n", skip, row.front_end, row.fault);
            continue;
        }
        // As root the full device is a private node, so that a tool which
        // wrongly replaced its output file could not replace /dev/full.
        const std::string dir = scratch / "row";
        ASSERT_EQ(
            std::system(("rm -rf '" + dir + "' && cp -r '" + inputs + "' '" + dir + "'").c_str()),
            0);
        std::string err;
        const int raw = run_in(dir,
                               "FULL=/dev/full\nif [ \"$(id -u)\" = 0 ]; then rm -f full; "
                               "mknod full c 1 7 && FULL=full; fi\n" +
                                   row.command,
                               err);
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, row.status) << err;
        // All lines count as messages for the tools, the ERROR: lines for
        // the filters and the PDF filter's WARNING: lines (their other
        // lines are for the log).
        std::vector<std::string> lines;
        std::istringstream in(err);
        const bool pdf_filter = !std::strcmp(row.front_end, "PDF filter");
        for (std::string l; std::getline(in, l);)
            if ((std::strcmp(row.front_end, "filter") && !pdf_filter) ||
                l.rfind("ERROR: ", 0) == 0 || (pdf_filter && l.rfind("WARNING: ", 0) == 0))
                lines.push_back(l);
        if (*row.message) {
            ASSERT_EQ(lines.size(), 1u) << err;
            EXPECT_NE(lines[0].find(row.message), std::string::npos) << lines[0];
        } else {
            EXPECT_TRUE(lines.empty()) << err;
        }
        check_output(row, dir);
    }
}

// Outside text holding line ends (a PDF's resource names, which the engine's
// warnings quote; a title; file names; the PPD's path) reaches every front
// end's messages, but always inside a line: CUPS obeys a filter's lines
// that start with STATE: or PPD:.
TEST(Faults, OutsideTextNeverStartsALineOfItsOwn) {
    const std::string evil = "$'x\\nSTATE: +media-empty-error\\r\\nPPD: *X: Y'";
    const std::string injected = "$D/hostile-injected-names.pdf";
    struct Case {
        const char *front_end;
        const char *text;
        std::string command;
    };
    const Case kCases[] = {
        {"pdftopclxl", "engine warnings", "$G 7 alice report 1 '' " + injected + " >out"},
        {"pdftopclxl", "engine warnings, from standard input",
         "$G 7 alice report 1 '' <" + injected + " >out"},
        {"pdftopclxl", "title", "$G 7 alice " + evil + " 1 '' $D/vector.pdf >out"},
        {"pdftopclxl", "missing file", "$G 7 alice report 1 '' " + evil + " >out"},
        {"pdftopclxl", "unreadable PPD", "PPD=" + evil + " $G 7 alice report 1 '' $D/vector.pdf"},
        {"rastertopclxl", "missing file", "$F 7 alice report 1 '' " + evil},
        {"convert PDF", "engine warnings", "$P convert --verbose " + injected + " -o out"},
        {"convert", "missing file", "$P convert " + evil + " -o out"},
        {"convert", "unwritable output", "$P convert a.pgm -o " + evil + "/out"},
        {"text", "missing file", "$P text " + evil + " -o out"},
        {"dump", "missing file", "$P dump " + evil},
    };
    const tool_test::TempDir scratch;
    const std::string dir = scratch / "row";
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    make_inputs(dir);
    for (const Case &c : kCases) {
        SCOPED_TRACE(std::string(c.front_end) + ", " + c.text + ": " + c.command);
        if (not_built(c.command)) {
            std::printf("skipped (not built): %s, %s\n", c.front_end, c.text);
            continue;
        }
        std::string err;
        run_in(dir, c.command, err); // some of the commands fail, as they should
        // The text got through (so the line that carries it was printed)...
        EXPECT_NE(err.find("STATE: +media-empty-error"), std::string::npos) << err;
        // ...inside a line of the front end's own.
        std::istringstream in(err);
        for (std::string l; std::getline(in, l);) {
            EXPECT_TRUE(l.rfind("STATE:", 0) && l.rfind("PPD:", 0)) << l;
            EXPECT_EQ(l.find('\r'), std::string::npos) << l;
        }
    }
}

} // namespace
