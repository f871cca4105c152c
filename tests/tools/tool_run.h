// Helpers for the tool tests: a scratch directory, running the `pclxl`
// program, and reading a job back with the reader.
#ifndef PCLXL_TESTS_TOOL_RUN_H
#define PCLXL_TESTS_TOOL_RUN_H

#include <cstdio>
#include <cstdlib>
#include <fstream>
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
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs `pclxl ARGS...` in `dir`, with standard output and error captured.
inline Outcome run(const TempDir &dir, const std::vector<std::string> &args) {
    std::string cmd = "cd '" + dir.path + "' && '" PCLXL_TOOL "'";
    for (const std::string &a : args) {
        std::string quoted = "'";
        for (char c : a)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        cmd += " " + quoted + "'";
    }
    cmd += " >'" + dir.path + "/.out' 2>'" + dir.path + "/.err' </dev/null";
    Outcome r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(dir / ".out");
    r.err = slurp(dir / ".err");
    return r;
}

// A job as the reader sees it: its PJL lines, every command, and the rows
// of every image.
struct Job : pclxl_reader::Listener {
    bool ok = false;
    pclxl_reader::Summary summary;
    pclxl_reader::Error error;
    std::string bytes;
    std::vector<std::string> pjl;
    std::vector<pclxl_reader::Command> commands;
    std::vector<pclxl_reader::ImageInfo> images;
    std::vector<std::vector<uint8_t>> image_data; // rows back to back

    void pjl_line(uint64_t, const std::string &line) override { pjl.push_back(line); }
    void command(const pclxl_reader::Command &c) override { commands.push_back(c); }
    void image_begin(const pclxl_reader::ImageInfo &info) override {
        images.push_back(info);
        image_data.emplace_back();
    }
    void image_row(const pclxl_reader::ImageInfo &info, uint32_t, const uint8_t *px) override {
        image_data.back().insert(image_data.back().end(), px, px + info.row_bytes);
    }
    void image_end(const pclxl_reader::ImageInfo &info) override { images.back() = info; }

    bool has_pjl(const std::string &line) const {
        for (const std::string &l : pjl)
            if (l == line)
                return true;
        return false;
    }
    // The operator's name in the listing, e.g. "Text".
    std::vector<const pclxl_reader::Command *> ops(const char *name) const {
        std::vector<const pclxl_reader::Command *> out;
        for (const auto &c : commands)
            if (std::string(pclxl_reader::operator_name(c.op)) == name)
                out.push_back(&c);
        return out;
    }
};

inline Job read_job(const std::string &path) {
    Job job;
    job.bytes = slurp(path);
    pclxl_reader::Source source(job.bytes.data(), job.bytes.size());
    job.ok = pclxl_reader::read_job(source, job, job.summary, job.error);
    return job;
}

} // namespace tool_test

#endif
