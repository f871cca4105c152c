// The back-channel reader: messages cut anywhere, noise, codes and INFO CONFIG.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pjl_status.h"

namespace pjl = pclxl_app::pjl;

namespace {

std::vector<pjl::Message> read_all(const std::vector<std::string> &pieces, bool finish = false) {
    pjl::Reader reader;
    std::vector<pjl::Message> out;
    pjl::Message m;
    for (const std::string &p : pieces) {
        reader.feed(p.data(), p.size());
        while (reader.next(&m))
            out.push_back(m);
    }
    if (finish) {
        reader.finish();
        while (reader.next(&m))
            out.push_back(m);
    }
    return out;
}

// One line per message with the fields of its kind.
std::string describe(const std::vector<pjl::Message> &messages) {
    static const char *const kKinds[] = {"id",  "config", "status", "pagecount", "device",
                                         "job", "page",   "xl",     "other"};
    std::string s;
    for (const pjl::Message &m : messages) {
        s += kKinds[static_cast<int>(m.kind)];
        if (m.kind == pjl::Kind::InfoStatus || m.kind == pjl::Kind::Device)
            s += " " + std::to_string(m.code) + " " + m.display + (m.online ? "" : " offline");
        if (m.kind == pjl::Kind::Job)
            s += std::string(m.job_start ? " start " : "") + (m.job_end ? " end " : "") +
                 m.job_name + " " + std::to_string(m.job_pages);
        if (m.kind == pjl::Kind::Page || m.kind == pjl::Kind::InfoPagecount)
            s += " " + std::to_string(m.number);
        if (m.kind == pjl::Kind::XlError)
            s += " " + m.error + " " + m.op + " " + std::to_string(m.position);
        s += m.model.empty() ? "\n" : " " + m.model + "\n";
    }
    return s;
}

const std::string kConversation =
    "@PJL INFO ID\r\n\"Stand-in Laser 4000\"\r\n\f"
    "@PJL INFO STATUS\r\nCODE=10001\r\nDISPLAY=\"READY\"\r\nONLINE=TRUE\r\n\f"
    "@PJL INFO PAGECOUNT\r\nPAGECOUNT=1234\r\n\f"
    "@PJL USTATUS JOB\r\nSTART\r\nNAME=\"job 7\"\r\n\f"
    "@PJL USTATUS DEVICE\r\nCODE=41102\r\nDISPLAY=\"LOAD TRAY 2\"\r\nONLINE=FALSE\r\n\f"
    "@PJL USTATUS PAGE\r\n1\r\n\f"
    "PCL XL error\r\n    Subsystem:  KERNEL\r\n    Error:      IllegalTag\r\n"
    "    Operator:   ReadImage\r\n    Position:   8\r\n\r\n"
    "@PJL USTATUS JOB\r\nEND\r\nNAME=\"job 7\"\r\nPAGES=2\r\n\f";

TEST(PjlReader, AConversationGivesEachMessageWithItsFields) {
    EXPECT_EQ(describe(read_all({kConversation})), "id Stand-in Laser 4000\n"
                                                   "status 10001 READY\n"
                                                   "pagecount 1234\n"
                                                   "job start job 7 -1\n"
                                                   "device 41102 LOAD TRAY 2 offline\n"
                                                   "page 1\n"
                                                   "xl IllegalTag ReadImage 8\n"
                                                   "job end job 7 2\n");
}

TEST(PjlReader, PiecesCutAnywhereGiveTheSameMessages) {
    const std::string whole = describe(read_all({kConversation}));
    for (size_t cut = 1; cut < kConversation.size(); cut++)
        ASSERT_EQ(describe(read_all({kConversation.substr(0, cut), kConversation.substr(cut)})),
                  whole)
            << "cut at " << cut;
    std::vector<std::string> bytes;
    for (char c : kConversation)
        bytes.emplace_back(1, c);
    EXPECT_EQ(describe(read_all(bytes)), whole);
}

TEST(PjlReader, NoiseAndBrokenMessagesAreSkipped) {
    const std::string status = "@PJL INFO STATUS\r\nCODE=10006\r\n\f";
    const struct {
        const char *name;
        std::vector<std::string> pieces;
        size_t messages;
    } cases[] = {
        {"binary noise around",
         {std::string("\x00\xff@P\x1b%-12345X", 14), status, "garbage @PJ"},
         1},
        {"a message cut short by the next", {"@PJL INFO ID\r\n\"half", status}, 1},
        {"an endless message", {"@PJL INFO CONFIG\r\n", std::string(20000, 'x'), status}, 1},
        {"an error report without its end", {"PCL XL error\r\n Error: X\r\n", status}, 2},
        {"only noise", {std::string(5000, '@'), std::string(5000, '\f')}, 0},
    };
    for (const auto &c : cases) {
        const auto m = read_all(c.pieces);
        ASSERT_EQ(m.size(), c.messages) << c.name;
        if (c.messages) {
            EXPECT_EQ(m.back().code, 10006) << c.name;
        }
    }
}

TEST(PjlReader, AnErrorReportEndsWithTheConnection) {
    const auto m =
        read_all({"PCL XL error\r\n  Error: MissingAttribute\r\n  Operator: BeginPage"}, true);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].error, "MissingAttribute");
    EXPECT_EQ(m[0].op, "BeginPage");
}

TEST(PjlStatusCodes, EachCodeGivesItsReasonsAndWords) {
    const struct {
        int code;
        const char *display;
        unsigned reasons;
        bool needs_person;
        const char *words;
    } cases[] = {
        {10001, "", pjl::kNone, false, "Ready"},
        {10006, "TONER LOW", pjl::kTonerLow, false, "TONER LOW"},
        {40021, "CLOSE DOOR", pjl::kDoorOpen, true, "CLOSE DOOR"},
        {40022, "", pjl::kMediaJam, true, "jam"},
        {42113, "", pjl::kMediaJam, true, "42113"},
        {41102, "", pjl::kMediaEmpty | pjl::kMediaNeeded, true, "tray 2"},
        {11203, "", pjl::kMediaEmpty, false, "Tray 2"},
        {40079, "", pjl::kOffline, true, "Offline"},
        {12345, "HELLO", pjl::kOther, false, "HELLO (code 12345)"},
        {55555, "", pjl::kOther, true, "code 55555"},
    };
    for (const auto &c : cases) {
        const pjl::Condition got = pjl::condition_for(c.code, c.display);
        EXPECT_EQ(got.reasons, c.reasons) << c.code;
        EXPECT_EQ(got.needs_person, c.needs_person) << c.code;
        EXPECT_NE(got.message.find(c.words), std::string::npos) << c.code << ": " << got.message;
    }
    EXPECT_EQ(pjl::reason_keywords(pjl::kMediaEmpty | pjl::kMediaNeeded | pjl::kOther),
              "media-empty media-needed other");
}

TEST(PjlConfig, TraysDuplexAndMemory) {
    const struct {
        const char *name;
        std::string body;
        std::vector<std::string> trays;
        bool duplex;
        long memory;
    } cases[] = {
        {"trays and duplex",
         "IN TRAYS [3 ENUMERATED]\r\n\tINTRAY1 MP\r\n\tINTRAY2 PC\r\n\tINTRAY3 LC\r\nDUPLEX\r\n"
         "OUTPUT BINS [1 ENUMERATED]\r\n\tUPPER\r\nMEMORY=8388608\r\n",
         {"by-pass-tray", "tray-2", "tray-3"},
         true,
         8388608},
        {"no trays listed", "MEMORY=1024\r\nDISPLAY LINES=2\r\n", {}, false, 1024},
        {"bins are not trays", "OUTPUT BINS [2 ENUMERATED]\r\n\tINTRAY1\r\n", {}, false, -1},
    };
    for (const auto &c : cases) {
        const auto m = read_all({"@PJL INFO CONFIG\r\n" + c.body + "\f"});
        ASSERT_EQ(m.size(), 1u) << c.name;
        const pjl::Config config = pjl::parse_config(m[0]);
        EXPECT_EQ(config.trays, c.trays) << c.name;
        EXPECT_EQ(config.duplex, c.duplex) << c.name;
        EXPECT_EQ(config.memory, c.memory) << c.name;
    }
}

} // namespace
