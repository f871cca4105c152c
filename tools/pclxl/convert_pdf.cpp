// The PDF branch of pclxl convert. Built with PDF support, this file links
// MuPDF through pclxl_pdf, which makes the pclxl tool AGPL-3.0-or-later.
#include "convert_pdf.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pclxl.h"
#ifdef PCLXL_HAVE_PDF
#include "pdf_job.h"
#endif

namespace pclxl_tool {

const char kPdfOptionsHelp[] =
    "PDF input (one file):\n"
    "  --pages RANGES       pages to print, e.g. 1-3,7,10- (default: all)\n"
    "  --resolution N       300, 600 (default) or 1200 pixels per inch\n"
    "  --no-fit             centre each page at its own size (default: fit the paper)\n"
    "  --raster             send each page as one image instead of vectors\n"
    "  without --paper, each page goes on the known paper nearest its size\n";

OptionResult take_pdf_option(const char *command, int argc, char **argv, int &i, PdfOptions &pdf) {
    const char *arg = argv[i];
    if (!std::strcmp(arg, "--paper")) {
        pdf.paper_given = true;
        return OptionResult::NotMine;
    }
    const bool wants_value = !std::strcmp(arg, "--pages") || !std::strcmp(arg, "--resolution");
    if (wants_value && i + 1 >= argc) {
        std::fprintf(stderr, "pclxl %s: %s needs a value\n", command, arg);
        return OptionResult::Error;
    }
    if (!std::strcmp(arg, "--pages")) {
        pdf.pages = argv[i + 1];
    } else if (!std::strcmp(arg, "--resolution")) {
        long r = 0;
        if (!parse_number(command, "resolution", argv[i + 1], 300, 1200, r))
            return OptionResult::Error;
        if (r != 300 && r != 600 && r != 1200) {
            std::fprintf(stderr, "pclxl %s: bad resolution '%s'; valid choices: 300 600 1200\n",
                         command, argv[i + 1]);
            return OptionResult::Error;
        }
        pdf.resolution = r;
    } else if (!std::strcmp(arg, "--no-fit")) {
        pdf.fit = false;
    } else if (!std::strcmp(arg, "--raster")) {
        pdf.raster = true;
    } else {
        return OptionResult::NotMine;
    }
    i += wants_value ? 2 : 1;
    return OptionResult::Taken;
}

bool is_pdf_input(const std::vector<std::string> &inputs) {
    if (inputs.empty() || inputs[0] == "-")
        return false;
    std::FILE *f = std::fopen(inputs[0].c_str(), "rb");
    if (!f)
        return false;
    unsigned char head[1024];
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    for (size_t i = 0; i + 5 <= n; ++i)
        if (!std::memcmp(head + i, "%PDF-", 5))
            return true;
    return false;
}

#ifdef PCLXL_HAVE_PDF

namespace {

void write_to_file(const void *buffer, unsigned int length, const void *context) {
    std::fwrite(buffer, 1, length, static_cast<FILE *>(const_cast<void *>(context)));
}

void print_line(const char *line, void *user) {
    std::fprintf(static_cast<FILE *>(user), "pclxl convert: %s\n", line);
}

const char *duplex_word(const std::string &d) { return d.c_str(); }

} // namespace

int convert_pdf(const std::vector<std::string> &inputs, const JobOptions &opts,
                const PdfOptions &pdf) {
    if (inputs.size() != 1) {
        std::fprintf(stderr, "pclxl convert: a PDF must be the only input\n");
        return 2;
    }
    pclxl::pdf::JobOptions job;
    if (pdf.paper_given)
        job.paper = opts.paper->name;
    job.fit_to_paper = pdf.fit;
    job.media_type = opts.media_type;
    job.media_source = opts.tray;
    job.color = opts.color;
    job.duplex = duplex_word(opts.duplex);
    job.copies = opts.copies;
    job.collate = opts.collate;
    job.resolution = static_cast<int>(pdf.resolution);
    job.page_ranges = pdf.pages;
    job.vector = !pdf.raster;
    job.verbose = opts.verbose;

    FILE *out = stdout;
    std::string temp;
    if (opts.output != "-") {
        temp = opts.output + ".XXXXXX";
        int fd = mkstemp(&temp[0]);
        if (fd < 0 || !(out = fdopen(fd, "wb"))) {
            std::fprintf(stderr, "pclxl convert: cannot write '%s': %s\n", opts.output.c_str(),
                         std::strerror(errno));
            if (fd >= 0) {
                close(fd);
                unlink(temp.c_str());
            }
            return 1;
        }
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    // The library traces its calls on stderr; keep them for --verbose.
    FILE *err = stderr;
    int saved = -1;
    if (!opts.verbose) {
        std::fflush(stderr);
        saved = dup(STDERR_FILENO);
        int null_fd = open("/dev/null", O_WRONLY);
        if (saved >= 0 && null_fd >= 0) {
            dup2(null_fd, STDERR_FILENO);
            FILE *e = fdopen(dup(saved), "w");
            if (e) {
                setvbuf(e, nullptr, _IONBF, 0);
                err = e;
            }
        }
        if (null_fd >= 0)
            close(null_fd);
    }
    job.message = print_line;
    job.message_user = err;

    pclxl_init(out, write_to_file);
    pclxl::pdf::JobStats stats;
    std::string error;
    const int rc = pclxl::pdf::write_job(inputs[0].c_str(), job, &stats, &error);
    pclxl_init(nullptr, nullptr);
    if (rc != 0)
        std::fprintf(err, "pclxl convert: %s: %s\n", inputs[0].c_str(), error.c_str());

    if (err != stderr)
        std::fclose(err);
    if (saved >= 0) {
        std::fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
    bool ok = std::fflush(out) == 0 && !std::ferror(out);
    if (out != stdout) {
        ok = std::fclose(out) == 0 && ok;
        // A job that ended early still holds every good page.
        if (ok && stats.pages > 0) {
            ok = std::rename(temp.c_str(), opts.output.c_str()) == 0;
        } else {
            unlink(temp.c_str());
        }
    }
    if (!ok && stats.pages > 0)
        std::fprintf(stderr, "pclxl convert: writing '%s' failed: %s\n", opts.output.c_str(),
                     std::strerror(errno));
    return rc != 0 || !ok ? 1 : 0;
}

#else

int convert_pdf(const std::vector<std::string> &, const JobOptions &, const PdfOptions &) {
    std::fprintf(stderr, "pclxl convert: this build has no PDF support\n");
    return 1;
}

#endif

} // namespace pclxl_tool
