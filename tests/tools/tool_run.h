// Helpers for the tool tests: a scratch directory, running a program in it,
// and reading a job back with the reader.
#ifndef PCLXL_TESTS_TOOL_RUN_H
#define PCLXL_TESTS_TOOL_RUN_H

#include <gtest/gtest.h>
#include <algorithm>
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

} // namespace tool_test

#endif
