// The server's state file: which texts count as a whole state, and a new
// copy that replaces the old one only when it is whole. (Setting an
// unreadable file aside and the spool directory lock: server_faults.sh.)
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

#include "state_file.h"

namespace {

const std::string kSystem = "DefaultPrinterID 1\nNextPrinterID 3\nUUID urn:uuid:1\n";
const std::string kPrinter = "<Printer id=\"1\" name=\"a\">\nMaxActiveJobs 0\n</Printer>\n";

struct TextCase {
    const char *name;
    std::string text;
    int printers;
    const char *defect; // a part of the reason, or "" when whole
};
void PrintTo(const TextCase &c, std::ostream *os) { *os << c.name; }

class StateText : public ::testing::TestWithParam<TextCase> {};

TEST_P(StateText, NamesWhatIsMissing) {
    const TextCase &c = GetParam();
    const std::string defect = pclxl_app::state_defect(c.text, c.printers);
    if (!*c.defect)
        EXPECT_EQ(defect, "");
    else
        EXPECT_NE(defect.find(c.defect), std::string::npos) << defect;
}

const std::string kTwo = kSystem + kPrinter + kPrinter;
INSTANTIATE_TEST_SUITE_P(
    Cases, StateText,
    ::testing::Values(TextCase{"whole", kTwo, 2, ""}, TextCase{"count unknown", kTwo, -1, ""},
                      TextCase{"no printers", kSystem, 0, ""}, TextCase{"empty", "", -1, "empty"},
                      TextCase{"cut in a line", kTwo.substr(0, kTwo.size() - 3), -1, "line"},
                      TextCase{"cut in a section", kSystem + kPrinter.substr(0, 30) + "\n", -1,
                               "not closed"},
                      TextCase{"cut after a section", kSystem + kPrinter, 2, "1 printers, not 2"},
                      TextCase{"zeros", std::string(4096, '\0'), -1, "binary"},
                      TextCase{"no system lines", kPrinter, -1, "system"},
                      TextCase{"close without open", kSystem + "</Printer>\n", -1, "never began"}),
    [](const auto &info) {
        std::string n = info.param.name;
        for (char &ch : n)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

class StateFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/pclxl-state-XXXXXX";
        ASSERT_TRUE(mkdtemp(name));
        dir = name;
        path = dir + "/app.state";
        fresh = path + ".new";
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string dir, path, fresh;
};

TEST_F(StateFiles, OnlyAWholeCopyReplacesTheOld) {
    const struct {
        const char *name;
        std::string written;
        int printers;
        bool replaces;
    } cases[] = {{"whole", kTwo, 2, true},
                 {"cut short by a full disk", kTwo.substr(0, 40), 2, false},
                 {"a printer short", kSystem + kPrinter, 2, false},
                 {"empty", "", 0, false}};
    for (const auto &c : cases) {
        put(path, kSystem);
        put(fresh, c.written);
        const std::string why = pclxl_app::commit_state(fresh, path, c.printers);
        EXPECT_EQ(why.empty(), c.replaces) << c.name << ": " << why;
        EXPECT_EQ(slurp(path), c.replaces ? c.written : kSystem) << c.name;
        EXPECT_NE(access(fresh.c_str(), F_OK), 0) << c.name << ": the new copy is left behind";
    }
}

} // namespace
