#include "quirks.h"
#include "text_line.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef PCLXL_QUIRKS_FILE
#define PCLXL_QUIRKS_FILE "/usr/local/share/pclxl/quirks.conf"
#endif

namespace pclxl_host {
namespace {

std::string lower(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string upper(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// '*' and '?' against the whole text, without case.
bool matches(const char *p, const char *t) {
    for (; *p; p++, t++) {
        if (*p == '*') {
            for (;; t++) {
                if (matches(p + 1, t))
                    return true;
                if (!*t)
                    return false;
            }
        }
        if (!*t || (*p != '?' && std::tolower(static_cast<unsigned char>(*p)) !=
                                     std::tolower(static_cast<unsigned char>(*t))))
            return false;
    }
    return !*t;
}

// Words separated by commas or spaces.
std::vector<std::string> words(const std::string &value, bool commas_only) {
    std::vector<std::string> out;
    std::string word;
    for (char c : value + ",") {
        if (c == ',' || (!commas_only && std::isspace(static_cast<unsigned char>(c)))) {
            word = trim(word);
            if (!word.empty())
                out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return out;
}

bool yes_no(const std::string &value, bool *out) {
    const std::string v = lower(value);
    if (v == "yes" || v == "true" || v == "on" || v == "1")
        *out = true;
    else if (v == "no" || v == "false" || v == "off" || v == "0")
        *out = false;
    else
        return false;
    return true;
}

bool number(const std::string &value, int *out) {
    char *end;
    const long n = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end || n < 0 || n > 100000)
        return false;
    *out = static_cast<int>(n);
    return true;
}

// Sets one quirk; false for a name or value it does not know.
bool set(Quirks &q, const std::string &name, const std::string &value) {
    if (name == "max-resolution")
        return number(value, &q.max_resolution);
    if (name == "max-dash-entries")
        return number(value, &q.max_dash_entries);
    if (name == "jpeg")
        return yes_no(value, &q.jpeg);
    if (name == "rle-end-marker")
        return yes_no(value, &q.rle_end_marker);
    if (name == "media-types") {
        q.media_types.clear();
        for (const std::string &w : words(value, false))
            q.media_types.push_back(lower(w));
        return true;
    }
    if (name == "pjl-unsupported") {
        q.pjl_unsupported.clear();
        for (const std::string &w : words(value, true))
            q.pjl_unsupported.push_back(upper(w));
        return true;
    }
    if (name == "trays") {
        std::map<std::string, int> trays;
        for (const std::string &w : words(value, false)) {
            const size_t colon = w.find(':');
            int n;
            if (colon == std::string::npos || !number(w.substr(colon + 1), &n) || n > 255)
                return false;
            trays[lower(w.substr(0, colon))] = n;
        }
        q.trays = trays;
        return true;
    }
    return false;
}

} // namespace

bool Quirks::pjl_supported(const std::string &command) const {
    const std::string c = upper(command);
    for (const std::string &u : pjl_unsupported)
        if (c.compare(0, u.size(), u) == 0 && (c.size() == u.size() || c[u.size()] == ' '))
            return false;
    return true;
}

int Quirks::media_source(const std::string &tray, int fallback) const {
    const auto it = trays.find(lower(tray));
    return it == trays.end() ? fallback : it->second;
}

std::string Quirks::describe() const {
    std::ostringstream s;
    s << "rows";
    for (const std::string &r : rows)
        s << " [" << r << "]";
    if (max_resolution)
        s << ", max-resolution " << max_resolution;
    if (!media_types.empty()) {
        s << ", media-types";
        for (const std::string &m : media_types)
            s << " " << m;
    }
    if (!trays.empty()) {
        s << ", trays";
        for (const auto &[name, n] : trays)
            s << " " << name << ":" << n;
    }
    if (!jpeg)
        s << ", no jpeg";
    if (!rle_end_marker)
        s << ", no rle-end-marker";
    if (max_dash_entries)
        s << ", max-dash-entries " << max_dash_entries;
    if (!pjl_unsupported.empty()) {
        s << ", pjl-unsupported";
        for (const std::string &p : pjl_unsupported)
            s << " \"" << p << "\"";
    }
    return s.str();
}

QuirkTable parse_quirks(const std::string &text) {
    QuirkTable table;
    std::istringstream in(text);
    std::string line;
    int n = 0;
    Quirks check;
    // The values under a pattern that cannot be read belong to no row.
    bool broken = false;
    while (std::getline(in, line)) {
        n++;
        const size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        line = trim(line);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            broken = line.back() != ']' || line.size() < 3;
            if (broken)
                table.errors.push_back("line " + std::to_string(n) + ": a pattern needs [ and ]");
            else
                table.rows.push_back({trim(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        if (broken)
            continue;
        const size_t eq = line.find('=');
        if (table.rows.empty() || eq == std::string::npos) {
            table.errors.push_back(
                "line " + std::to_string(n) +
                (table.rows.empty() ? ": a value before any [pattern]" : ": not name = value"));
            continue;
        }
        const std::string name = lower(trim(line.substr(0, eq)));
        const std::string value = trim(line.substr(eq + 1));
        if (!set(check, name, value)) {
            table.errors.push_back("line " + std::to_string(n) + ": " + name + " = " + value +
                                   " is not known");
            continue;
        }
        table.rows.back().values.emplace_back(name, value);
    }
    return table;
}

QuirkTable load_quirks() {
    const char *env = std::getenv("PCLXL_QUIRKS");
    std::ifstream in(env && *env ? env : PCLXL_QUIRKS_FILE);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return parse_quirks(text.str());
}

Quirks quirks_for(const QuirkTable &table, const std::string &make_and_model) {
    Quirks q;
    for (const QuirkTable::Row &row : table.rows) {
        if (!matches(row.pattern.c_str(), make_and_model.c_str()))
            continue;
        q.rows.push_back(row.pattern);
        for (const auto &[name, value] : row.values)
            set(q, name, value);
    }
    return q;
}

void apply_quirks(const Quirks &quirks, Job &job) {
    job.jpeg = job.jpeg && quirks.jpeg;
    if (quirks.max_dash_entries > 0)
        job.max_dash_entries = std::min(job.max_dash_entries, quirks.max_dash_entries);
    if (quirks.max_resolution > 0 && job.resolution > quirks.max_resolution) {
        // The finest of the library's resolutions the model takes.
        for (int r : {1200, 600, 300})
            if (r <= quirks.max_resolution) {
                job.resolution = r;
                break;
            }
    }
    if (!quirks.media_types.empty()) {
        const std::string name = lower(job.media_type_name());
        bool known = name.empty();
        for (const std::string &m : quirks.media_types)
            known = known || m == name;
        if (!known) {
            job.media_type = nullptr;
            job.other_media_type.clear();
        }
    }
}

} // namespace pclxl_host
