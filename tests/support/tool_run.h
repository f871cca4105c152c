// Helpers for the tool tests: a scratch directory, running a program in it,
// reading a job back with the reader, and what interpreters need of a job.
#ifndef PCLXL_TESTS_TOOL_RUN_H
#define PCLXL_TESTS_TOOL_RUN_H

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

#include "reader.h"

namespace tool_test {

// A fresh directory under /tmp, removed with its files at the end.
struct TempDir {
    std::string path;
    TempDir() {
        char name[] = "/tmp/pclxl-tool-test-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string operator/(const std::string &file) const { return path + "/" + file; }
};

inline bool exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

inline std::string slurp(const std::string &path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

inline void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs `program ARGS...` (by default `pclxl`) in `dir`, output captured.
inline Outcome run(const TempDir &dir, const std::vector<std::string> &args,
                   const std::string &program = PCLXL_TOOL) {
    std::string cmd = "cd '" + dir.path + "' && '" + program + "'";
    for (const std::string &a : args) {
        cmd += " '";
        for (char c : a)
            cmd += c == '\'' ? std::string("'\\''") : std::string(1, c);
        cmd += "'";
    }
    const int raw = std::system((cmd + " >.out 2>.err </dev/null").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / ".out"), slurp(dir / ".err")};
}

// A job as the reader sees it; ok when it is well-formed and whole.
struct Job : pclxl_reader::Listener {
    bool ok = false;
    pclxl_reader::Summary summary;
    pclxl_reader::Error error;
    std::string bytes;
    std::vector<std::string> pjl;
    std::vector<pclxl_reader::Command> commands;

    void pjl_line(uint64_t, const std::string &line) override { pjl.push_back(line); }
    void command(const pclxl_reader::Command &c) override { commands.push_back(c); }

    bool has_pjl(const std::string &line) const {
        return std::find(pjl.begin(), pjl.end(), line) != pjl.end();
    }
    // The commands of one operator, e.g. "Text".
    std::vector<const pclxl_reader::Command *> ops(const char *name) const {
        std::vector<const pclxl_reader::Command *> out;
        for (const auto &c : commands)
            if (std::string(pclxl_reader::operator_name(c.op)) == name)
                out.push_back(&c);
        return out;
    }
};

inline Job parse_job(const std::string &bytes) {
    Job job;
    job.bytes = bytes;
    pclxl_reader::Source source(job.bytes.data(), job.bytes.size());
    job.ok = pclxl_reader::read_job(source, job, job.summary, job.error) &&
             pclxl_reader::check_complete(job.summary, job.error);
    return job;
}

inline Job read_job(const std::string &path) { return parse_job(slurp(path)); }

// Runs `pclxl ARGS... -o job.pxl` in `dir`, which must succeed, and reads the job.
inline Job make_job(const TempDir &dir, std::vector<std::string> args) {
    args.insert(args.end(), {"-o", "job.pxl"});
    const Outcome r = run(dir, args);
    EXPECT_EQ(r.status, 0) << r.err;
    Job job = read_job(dir / "job.pxl");
    EXPECT_TRUE(job.ok) << job.error.offset << ": " << job.error.message;
    return job;
}

// What interpreters need beyond a well-formed stream: paths and text painted
// under a pattern-copy ROP, images under source copy, full palettes for
// indexed images, fonts defined once at the session's resolution, one
// x-spacing entry per character, no page scale and no custom media size.
inline void expect_interop(const Job &job) {
    namespace rd = pclxl_reader;
    int rop = 204;
    double units = 0; // the session's resolution
    std::set<std::string> font_names;
    for (const rd::Command &c : job.commands) {
        const std::string name = rd::operator_name(c.op);
        const std::string at = name + " at offset " + std::to_string(c.offset);
        const rd::Value *text = c.find(rd::attr::TextData),
                        *spacing = c.find(rd::attr::XSpacingData);
        if (name == "BeginSession") {
            units = c.find(rd::attr::UnitsPerMeasure)->number(0);
        } else if (name == "SetROP") {
            rop = static_cast<int>(c.find(rd::attr::ROP3)->number());
        } else if (name == "PaintPath" || name == "Text") {
            EXPECT_TRUE(rop == 240 || rop == 252) << at << " under ROP3 " << rop;
            EXPECT_TRUE(name == "PaintPath" || (text && spacing && text->count == spacing->count))
                << at;
        } else if (name == "BeginImage") {
            EXPECT_EQ(rop, 204) << at;
        } else if (name == "BeginPage") {
            EXPECT_EQ(c.find(rd::attr::CustomMediaSize), nullptr) << at;
        } else if (name == "BeginFontHeader") {
            EXPECT_TRUE(font_names.insert(c.find(rd::attr::FontName)->bytes()).second) << at;
        }
        EXPECT_NE(name, "SetPageScale") << at;
    }
    for (const rd::ImageInfo &img : job.summary.images) {
        if (img.color_mapping == rd::enums::eIndexedPixel) {
            EXPECT_EQ(img.palette.size(), static_cast<size_t>(img.palette_components << img.depth))
                << "image " << img.number;
        }
    }
    for (const rd::FontInfo &font : job.summary.fonts)
        EXPECT_TRUE(font.x_resolution == units && font.y_resolution == units) << font.name;
}

} // namespace tool_test

#endif
