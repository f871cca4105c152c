#include "pjl_status.h"
#include "text_line.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pclxl_app::pjl {
namespace {

using pclxl_host::trim;

constexpr char kPjl[] = "@PJL";
constexpr char kXlError[] = "PCL XL error";

std::string upper(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string unquote(const std::string &s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        return s.substr(1, s.size() - 2);
    return s;
}

// Lines of `text`, split at CR, LF or both, trimmed, empty ones left out.
std::vector<std::string> split_lines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = trim(text.substr(start, end - start));
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// A number that stands alone or after "NAME=": -1 when there is none.
long number_in(const std::string &s) {
    const size_t eq = s.find('=');
    const std::string digits = trim(eq == std::string::npos ? s : s.substr(eq + 1));
    if (digits.empty() || digits.size() > 12)
        return -1;
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return -1;
    return std::strtol(digits.c_str(), nullptr, 10);
}

// KEY=VALUE in a body line; false when the line is something else.
bool key_value(const std::string &line, std::string *key, std::string *value) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    *key = upper(trim(line.substr(0, eq)));
    *value = unquote(trim(line.substr(eq + 1)));
    return true;
}

Message pjl_message(const std::string &text) {
    std::vector<std::string> lines = split_lines(text);
    Message m;
    if (lines.empty())
        return m;
    const std::string head = upper(lines.front());
    m.lines.assign(lines.begin() + 1, lines.end());
    // "@PJL INFO STATUS", "@PJL USTATUS DEVICE", ...
    std::vector<std::string> words;
    for (size_t i = 0; i < head.size();) {
        while (i < head.size() && head[i] == ' ')
            i++;
        const size_t j = head.find(' ', i);
        const size_t end = j == std::string::npos ? head.size() : j;
        if (end > i)
            words.push_back(head.substr(i, end - i));
        i = end;
    }
    const std::string verb = words.size() > 1 ? words[1] : "";
    const std::string what = words.size() > 2 ? words[2] : "";
    if (verb == "INFO" && what == "ID")
        m.kind = Kind::InfoId;
    else if (verb == "INFO" && what == "CONFIG")
        m.kind = Kind::InfoConfig;
    else if (verb == "INFO" && what == "STATUS")
        m.kind = Kind::InfoStatus;
    else if (verb == "INFO" && what == "PAGECOUNT")
        m.kind = Kind::InfoPagecount;
    else if (verb == "USTATUS" && what == "DEVICE")
        m.kind = Kind::Device;
    else if (verb == "USTATUS" && what == "JOB")
        m.kind = Kind::Job;
    else if (verb == "USTATUS" && what == "PAGE")
        m.kind = Kind::Page;

    std::string key, value;
    for (const std::string &line : m.lines) {
        const bool kv = key_value(line, &key, &value);
        switch (m.kind) {
        case Kind::InfoId:
            if (m.model.empty())
                m.model = unquote(line);
            break;
        case Kind::InfoStatus:
        case Kind::Device:
            if (kv && key == "CODE")
                m.code = static_cast<int>(number_in(value));
            else if (kv && key == "DISPLAY")
                m.display = value;
            else if (kv && key == "ONLINE")
                m.online = upper(value) != "FALSE";
            break;
        case Kind::InfoPagecount:
        case Kind::Page:
            if (m.number < 0)
                m.number = number_in(line);
            break;
        case Kind::Job:
            if (!kv && upper(line) == "START")
                m.job_start = true;
            else if (!kv && upper(line) == "END")
                m.job_end = true;
            else if (kv && key == "NAME")
                m.job_name = value;
            else if (kv && key == "PAGES")
                m.job_pages = number_in(value);
            break;
        default: break;
        }
    }
    return m;
}

Message xl_error(const std::string &text) {
    Message m;
    m.kind = Kind::XlError;
    std::vector<std::string> lines = split_lines(text);
    if (!lines.empty())
        m.lines.assign(lines.begin() + 1, lines.end());
    for (const std::string &line : m.lines) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string key = upper(trim(line.substr(0, colon)));
        const std::string value = trim(line.substr(colon + 1));
        if (key == "ERROR")
            m.error = value;
        else if (key == "OPERATOR")
            m.op = value;
        else if (key == "SUBSYSTEM")
            m.subsystem = value;
        else if (key == "POSITION")
            m.position = number_in(value);
    }
    return m;
}

// Where a PCL XL error report ends: a blank line after its fields, a form
// feed, or the next PJL message.
size_t xl_error_end(const std::string &b, size_t from) {
    const size_t ff = b.find('\f', from);
    const size_t pjl = b.find(kPjl, from);
    size_t blank = std::string::npos;
    for (const char *sep : {"\r\n\r\n", "\n\n"}) {
        const size_t at = b.find(sep, from);
        if (at != std::string::npos && at < blank)
            blank = at + std::strlen(sep);
    }
    size_t end = std::min(ff == std::string::npos ? ff : ff + 1, std::min(pjl, blank));
    return end;
}

} // namespace

void Reader::feed(const void *data, size_t length) {
    buffer_.append(static_cast<const char *>(data), length);
    scan();
}

void Reader::scan() {
    for (;;) {
        // Everything before the next message is noise.
        const size_t pjl = buffer_.find(kPjl);
        const size_t xl = buffer_.find(kXlError);
        const size_t start = std::min(pjl, xl);
        if (start == std::string::npos) {
            // Keep a tail that may be the start of a message cut in two.
            const size_t keep = sizeof kXlError - 1;
            if (buffer_.size() > keep)
                buffer_.erase(0, buffer_.size() - keep);
            return;
        }
        buffer_.erase(0, start);
        size_t end;
        if (start == xl) {
            end = xl_error_end(buffer_, sizeof kXlError - 1);
            if (end == std::string::npos) {
                if (buffer_.size() > kMaxMessage)
                    buffer_.erase(0, sizeof kXlError - 1);
                return;
            }
            ready_.push_back(xl_error(buffer_.substr(0, end)));
        } else {
            const size_t ff = buffer_.find('\f');
            // A message without its form feed, followed by another: the
            // printer cut it short.
            const size_t again = buffer_.find(kPjl, 1);
            if (ff == std::string::npos || (again != std::string::npos && again < ff)) {
                if (again != std::string::npos) {
                    buffer_.erase(0, again);
                    continue;
                }
                if (buffer_.size() > kMaxMessage)
                    buffer_.erase(0, sizeof kPjl - 1);
                return;
            }
            end = ff + 1;
            ready_.push_back(pjl_message(buffer_.substr(0, ff)));
        }
        buffer_.erase(0, end);
    }
}

void Reader::finish() {
    if (buffer_.compare(0, sizeof kXlError - 1, kXlError) == 0)
        ready_.push_back(xl_error(buffer_));
    buffer_.clear();
}

bool Reader::next(Message *message) {
    if (ready_first_ >= ready_.size()) {
        ready_.clear();
        ready_first_ = 0;
        return false;
    }
    *message = std::move(ready_[ready_first_++]);
    return true;
}

Condition condition_for(int code, const std::string &display) {
    // Status codes as PCL XL printers report them: five digits, the first
    // two the group. Single codes first, then groups.
    static const struct {
        int code;
        unsigned reasons;
        bool needs_person;
        const char *words;
    } codes[] = {
        {10000, kPowerSave, false, "Power save"},
        {10001, kNone, false, "Ready"},
        {10002, kOffline, false, "Offline"},
        {10003, kWarmingUp, false, "Warming up"},
        {10004, kNone, false, "Self test"},
        {10005, kNone, false, "Reset"},
        {10006, kTonerLow, false, "Toner low"},
        {10007, kNone, false, "Cancelling job"},
        {10014, kNone, false, "Printing a test page"},
        {10023, kNone, false, "Printing"},
        {10024, kNone, false, "Form feed"},
        {35078, kPowerSave, false, "Power save"},
        {40010, kTonerEmpty, true, "Toner cartridge empty or missing"},
        {40019, kOutputAreaFull, true, "Output bin full"},
        {40021, kDoorOpen, true, "Door open"},
        {40022, kMediaJam, true, "Paper jam"},
        {40038, kTonerLow, true, "Toner low"},
        {40079, kOffline, true, "Offline"},
        {40090, kMarkerSupplyLow, false, "Supplies low"},
    };
    Condition c;
    for (const auto &row : codes)
        if (row.code == code) {
            c.reasons = row.reasons;
            c.needs_person = row.needs_person;
            c.message = display.empty() ? row.words : display;
            return c;
        }
    const int group = code / 1000;
    char words[96];
    if (group == 11) {
        // 11xyy: tray x ran empty, others still feed.
        std::snprintf(words, sizeof words, "Tray %d empty", code / 100 % 10);
        c.reasons = kMediaEmpty;
    } else if (group == 41) {
        // 41xyy: load paper; the job waits for it. The last digit names
        // the tray.
        std::snprintf(words, sizeof words, "Load paper in tray %d", code % 10);
        c.reasons = kMediaEmpty | kMediaNeeded;
        c.needs_person = true;
    } else if (group == 42 || group == 44) {
        std::snprintf(words, sizeof words, "Paper jam (code %d)", code);
        c.reasons = kMediaJam;
        c.needs_person = true;
    } else {
        std::snprintf(words, sizeof words, "Printer status code %d", code);
        c.reasons = kOther;
        c.needs_person = group >= 40;
        // The code stays in the message even when the printer shows text.
        c.message = display.empty() ? words : display + " (code " + std::to_string(code) + ")";
        return c;
    }
    c.message = display.empty() ? words : display;
    return c;
}

std::string reason_keywords(unsigned reasons) {
    static const struct {
        unsigned bit;
        const char *keyword;
    } names[] = {{kWarmingUp, "warming-up"},
                 {kPowerSave, "power-save"},
                 {kMediaEmpty, "media-empty"},
                 {kMediaNeeded, "media-needed"},
                 {kMediaJam, "media-jam"},
                 {kDoorOpen, "door-open"},
                 {kTonerLow, "toner-low"},
                 {kTonerEmpty, "toner-empty"},
                 {kMarkerSupplyLow, "marker-supply-low"},
                 {kOutputAreaFull, "output-area-full"},
                 {kOffline, "offline"},
                 {kOther, "other"}};
    std::string out;
    for (const auto &n : names)
        if (reasons & n.bit) {
            if (!out.empty())
                out += ' ';
            out += n.keyword;
        }
    return out;
}

Config parse_config(const Message &message) {
    Config config;
    bool in_trays = false;
    for (const std::string &raw : message.lines) {
        const std::string line = upper(raw);
        std::string key, value;
        if (line.rfind("IN TRAYS", 0) == 0) {
            in_trays = true;
            continue;
        }
        if (line.find("ENUMERATED]") != std::string::npos || line.find('[') == 0)
            in_trays = false;
        if (line == "DUPLEX" || line.rfind("DUPLEX UNIT", 0) == 0 || line == "DUPLEX=TRUE")
            config.duplex = true;
        if (key_value(line, &key, &value)) {
            if (key == "MEMORY")
                config.memory = number_in(value);
            in_trays = false;
            continue;
        }
        // "INTRAY1 MP", "INTRAY2 PC", "MANUAL", ...
        if (in_trays) {
            if (line.rfind("INTRAY", 0) == 0) {
                const long n = number_in(line.substr(6, line.find(' ') - 6));
                const bool mp = line.find(" MP") != std::string::npos;
                if (mp)
                    config.trays.push_back("by-pass-tray");
                else if (n > 0)
                    config.trays.push_back("tray-" + std::to_string(n));
            } else if (line.rfind("MANUAL", 0) == 0 || line.rfind("MP", 0) == 0) {
                config.trays.push_back("by-pass-tray");
            } else {
                in_trays = false;
            }
        }
    }
    return config;
}

} // namespace pclxl_app::pjl
