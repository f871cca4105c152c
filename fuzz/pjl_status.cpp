// Property: the printer's back channel, whatever it sends, is read without
// crashing or growing without bound, and cutting the bytes into two pieces
// anywhere gives the same messages as one piece.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "pjl_status.h"

namespace {

namespace pjl = pclxl_app::pjl;

std::string read(const std::string &bytes, size_t cut) {
    pjl::Reader reader;
    std::string out;
    pjl::Message m;
    const auto drain = [&] {
        while (reader.next(&m)) {
            out += std::to_string(static_cast<int>(m.kind)) + m.display + m.job_name + m.model +
                   m.error + m.op + std::to_string(m.code) + std::to_string(m.number) +
                   std::to_string(m.position) + std::to_string(m.job_pages) + "\n";
            const pjl::Condition c = pjl::condition_for(m.code, m.display);
            FUZZ_CHECK(!c.message.empty(), "no words for code %d", m.code);
            if (m.kind == pjl::Kind::InfoConfig)
                pjl::parse_config(m);
        }
    };
    reader.feed(bytes.data(), cut);
    drain();
    reader.feed(bytes.data() + cut, bytes.size() - cut);
    drain();
    reader.finish();
    drain();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    const size_t cut = (data[0] | data[1] << 8) % (size - 1);
    const std::string bytes(reinterpret_cast<const char *>(data) + 2, size - 2);
    const std::string whole = read(bytes, bytes.size());
    const std::string split = read(bytes, cut > bytes.size() ? bytes.size() : cut);
    FUZZ_CHECK(whole == split, "cut at %zu of %zu changes the messages", cut, bytes.size());
    return 0;
}
