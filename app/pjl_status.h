// What a printer says on its back channel: PJL replies and unsolicited
// status (INFO, USTATUS), and the PCL XL error report some printers send
// when a job has a fault. Knows nothing about PAPPL or sockets, so the tests
// and the fuzzer feed it bytes directly.
//
// PJL replies look like
//   @PJL INFO STATUS\r\nCODE=10001\r\nDISPLAY="Ready"\r\nONLINE=TRUE\r\n\f
// one message per form feed. A PCL XL error report is plain text:
//   PCL XL error\r\n    Subsystem:  KERNEL\r\n    Error:      IllegalTag\r\n
//       Operator:   ReadImage\r\n    Position:   8\r\n
// Anything else (noise, echoes, half messages) is skipped.
#ifndef PCLXL_APP_PJL_STATUS_H
#define PCLXL_APP_PJL_STATUS_H

#include <cstddef>
#include <string>
#include <vector>

namespace pclxl_app::pjl {

enum class Kind {
    InfoId,        // the model name
    InfoConfig,    // trays, duplex unit, memory
    InfoStatus,    // CODE, DISPLAY, ONLINE
    InfoPagecount, // the lifetime page count
    Device,        // USTATUS DEVICE: like INFO STATUS, unasked
    Job,           // USTATUS JOB: START or END of a named job
    Page,          // USTATUS PAGE: a page came out
    XlError,       // a PCL XL error report
    Other,         // another PJL message
};

struct Message {
    Kind kind = Kind::Other;
    std::vector<std::string> lines; // the lines after the first, trimmed
    // Status (InfoStatus, Device).
    int code = 0;
    std::string display;
    bool online = true;
    // Job.
    bool job_start = false, job_end = false;
    std::string job_name;
    long job_pages = -1; // PAGES= on END, -1 when absent
    // Page, InfoPagecount.
    long number = -1;
    // InfoId.
    std::string model;
    // XlError.
    std::string error, op, subsystem;
    long position = -1;
};

// Cuts a byte stream into messages. Bytes may come in any pieces. A message
// longer than kMaxMessage without its end is dropped.
class Reader {
  public:
    static constexpr size_t kMaxMessage = 16384;
    void feed(const void *data, size_t length);
    // The next complete message, in order; false when none is complete yet.
    bool next(Message *message);
    // Ends what is pending (the connection closed): a PCL XL error report
    // that ended without a blank line is complete then.
    void finish();

  private:
    void scan();
    std::string buffer_;
    std::vector<Message> ready_;
    size_t ready_first_ = 0;
};

// Printer state reasons, in the words IPP uses.
enum Reason : unsigned {
    kNone = 0,
    kWarmingUp = 1u << 0,
    kPowerSave = 1u << 1,
    kMediaEmpty = 1u << 2,
    kMediaNeeded = 1u << 3,
    kMediaJam = 1u << 4,
    kDoorOpen = 1u << 5,
    kTonerLow = 1u << 6,
    kTonerEmpty = 1u << 7,
    kMarkerSupplyLow = 1u << 8,
    kOutputAreaFull = 1u << 9,
    kOffline = 1u << 10,
    kOther = 1u << 11,
};

// What a status code means.
struct Condition {
    unsigned reasons = kNone;
    // The printer waits for a person (paper, jam, door): it stops taking
    // data until then, which is not a fault of the connection.
    bool needs_person = false;
    // Words for printer-state-message: the printer's display text when it
    // sent one, else ours; unknown codes name the code.
    std::string message;
};
Condition condition_for(int code, const std::string &display);
// The keywords of `reasons`, space-separated ("" for none).
std::string reason_keywords(unsigned reasons);

// What INFO CONFIG says about the paper path.
struct Config {
    std::vector<std::string> trays; // IPP media-source names: tray-1, manual, ...
    bool duplex = false;
    long memory = -1; // bytes, -1 when absent
};
Config parse_config(const Message &message);

} // namespace pclxl_app::pjl

#endif
