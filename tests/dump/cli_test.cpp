// The `pclxl dump` command line: exit status and messages.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "dump_support.h"
#include "tool_run.h"

namespace {

using namespace dump_test;

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
        {"dump in", job, 0, {") HP-PCL XL;3;0;\n", ": SetROP ROP3=204\n"}},
        {"dump --summary in",
         job,
         0,
         {"pages: 1\n  page 1: media eA4Paper, copies 1\n",
          "total bytes: " + std::to_string(job.size()) + "\n"}},
        {"dump in",
         from_hex(in_page("3A")),
         1,
         {"pclxl dump: in: offset ", ": unknown tag 0x3A\n"}},
        // Exit 0 means a whole job: what is missing is named at the end.
        {"dump in", {}, 1, {"in: offset 0: incomplete job: the input is empty\n"}},
        {"dump in",
         from_hex(kUel + text_hex("@PJL JOB\r\n@PJL SET COPIES=1\r\n")),
         1,
         {"the job ends in its PJL header"}},
        {"dump in", from_hex(header + kHeader), 1, {"the PCL XL stream holds no session"}},
        {"dump in", from_hex(header + stream), 1, {"the PCL XL stream ends without the UEL"}},
        {"dump in", from_hex(header + stream + kUel), 1, {"ends without its trailer"}},
        {"dump in",
         from_hex(header + stream + kUel + text_hex("@PJL EOJ\r\n")),
         1,
         {"the job does not end with the UEL"}},
        {"dump /nonexistent/job.pxl", {}, 2, {}},
        {"dump --bogus in", {}, 2, {}},
    };
    tool_test::TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        tool_test::write_file(dir / "in", std::string(c.input.begin(), c.input.end()));
        std::vector<std::string> args;
        std::istringstream words(c.args);
        for (std::string w; words >> w;)
            args.push_back(w);
        const tool_test::Outcome r = tool_test::run(dir, args);
        const std::string output = r.out + r.err;
        EXPECT_EQ(r.status, c.status) << output;
        for (const std::string &line : c.lines)
            EXPECT_NE(output.find(line), std::string::npos) << output;
    }
}

} // namespace
