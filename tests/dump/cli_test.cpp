// The `pclxl dump` command line: exit status, standard input, messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "dump_support.h"

namespace {

using namespace dump_test;

// Runs `pclxl ARGS` with `input` on standard input; its exit status, and
// stdout and stderr in *output.
int run(const std::string &args, const Bytes &input, std::string *output) {
    const std::string in = "/tmp/pclxl-cli-test-" + std::to_string(getpid());
    std::FILE *f = std::fopen(in.c_str(), "wb");
    if (!input.empty())
        std::fwrite(input.data(), 1, input.size(), f);
    std::fclose(f);
    int status = -1;
    if (std::FILE *p =
            popen((std::string(PCLXL_TOOL) + " " + args + " < " + in + " 2>&1").c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            output->append(buf, n);
        const int s = pclose(p);
        status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    }
    std::remove(in.c_str());
    return status;
}

TEST(Cli, StatusAndOutput) {
    const std::string body = "C0 CC F8 2C 7B";
    const Bytes job = from_hex(in_job(body));
    const std::string job_text(job.begin(), job.end());
    const std::string header = text_hex(job_text.substr(0, job_text.find(") HP")));
    const std::string stream = in_page(body);
    const struct {
        const char *args;
        Bytes input;
        int status;
        std::vector<std::string> lines; // parts of the output
    } cases[] = {
        {"dump -", job, 0, {") HP-PCL XL;3;0;\n", ": SetROP ROP3=204\n"}},
        {"dump --summary -",
         job,
         0,
         {"pages: 1\n  page 1: media eA4Paper, copies 1\n",
          "total bytes: " + std::to_string(job.size()) + "\n"}},
        {"dump -",
         from_hex(in_page("3A")),
         1,
         {"pclxl dump: <stdin>: offset ", ": unknown tag 0x3A\n"}},
        // Exit 0 means a whole job: what is missing is named at the end.
        {"dump -", {}, 1, {"<stdin>: offset 0: incomplete job: the input is empty\n"}},
        {"dump -",
         from_hex(kUel + text_hex("@PJL JOB\r\n@PJL SET COPIES=1\r\n")),
         1,
         {"the job ends in its PJL header"}},
        {"dump -", from_hex(header + kHeader), 1, {"the PCL XL stream holds no session"}},
        {"dump -", from_hex(header + stream), 1, {"the PCL XL stream ends without the UEL"}},
        {"dump -", from_hex(header + stream + kUel), 1, {"ends without its trailer"}},
        {"dump -",
         from_hex(header + stream + kUel + text_hex("@PJL EOJ\r\n")),
         1,
         {"the job does not end with the UEL"}},
        {"dump", {}, 2, {}},
        {"dump /nonexistent/job.pxl", {}, 2, {}},
        {"dump --bogus -", {}, 2, {}},
        {"no-such-command", {}, 2, {}},
        {"dump --help", {}, 0, {}},
        {"--help", {}, 0, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        std::string output;
        EXPECT_EQ(run(c.args, c.input, &output), c.status) << output;
        for (const std::string &line : c.lines)
            EXPECT_NE(output.find(line), std::string::npos) << output;
    }
}

} // namespace
