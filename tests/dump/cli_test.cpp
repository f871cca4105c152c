// The `pclxl dump` command line: exit status, standard input, messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "dump_support.h"

namespace {

using namespace dump_test;

struct Outcome {
    int status;
    std::string output; // stdout and stderr
};

// Runs `pclxl ARGS`, feeding `input` on standard input.
Outcome run(const std::string &args, const Bytes &input = {}) {
    const std::string in = "/tmp/pclxl-cli-test-" + std::to_string(getpid());
    std::FILE *f = std::fopen(in.c_str(), "wb");
    if (!input.empty())
        std::fwrite(input.data(), 1, input.size(), f);
    std::fclose(f);
    const std::string command = std::string(PCLXL_TOOL) + " " + args + " < " + in + " 2>&1";
    Outcome r{-1, ""};
    if (std::FILE *p = popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            r.output.append(buf, n);
        const int status = pclose(p);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::remove(in.c_str());
    return r;
}

const Bytes kJob = from_hex(in_page("C0 CC F8 2C 7B"));

TEST(Cli, ListsAWellFormedJobFromStandardInput) {
    const Outcome r = run("dump -", kJob);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(") HP-PCL XL;3;0;\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(": SetROP ROP3=204\n"), std::string::npos) << r.output;
}

TEST(Cli, SummaryCountsPagesAndBytes) {
    const Outcome r = run("dump --summary -", kJob);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("pages: 1\n  page 1: media eA4Paper, copies 1\n"), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("total bytes: " + std::to_string(kJob.size()) + "\n"),
              std::string::npos)
        << r.output;
}

TEST(Cli, MalformedJobExitsOneWithOffsetAndMessage) {
    const Outcome r = run("dump -", from_hex(in_page("3A")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("pclxl dump: <stdin>: offset "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(": unknown tag 0x3A\n"), std::string::npos) << r.output;
}

TEST(Cli, UsageAndFileErrorsExitTwo) {
    EXPECT_EQ(run("dump").status, 2);
    EXPECT_EQ(run("dump /nonexistent/job.pxl").status, 2);
    EXPECT_EQ(run("dump --bogus -").status, 2);
    EXPECT_EQ(run("dump --help").status, 0);
    EXPECT_EQ(run("--help").status, 0);
    EXPECT_EQ(run("no-such-command").status, 2);
}

} // namespace
