// Property: whatever bytes a text job holds, they are decoded and laid out
// without crashing; no page has more lines than fit, no line is wider than
// the page unless it is a single character, no control character is left,
// and every character that is not a blank is printed once, in order.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "text_pages.h"

namespace {

bool printable(char32_t c) { return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    // One font for the whole run: opening it is slow.
    static pclxl_host::GlyphFont glyphs;
    static const bool opened = [] {
        std::string note, error;
        // fontconfig's caches are only released by name; unreleased, they
        // read as leaks at exit.
        std::atexit(pclxl_host::release_font_lookup);
        return glyphs.open(pclxl_host::kTextFamily, pclxl_host::kTextPoints, 300, note, error);
    }();
    if (!opened)
        return 0;
    pclxl_host::BitmapFont font(glyphs, "text", 100, 300);
    const int width = 1 + data[0] * 8; // 1 to 2041 pixels
    const int lines_per_page = 1 + data[1] % 64;
    const std::string bytes(reinterpret_cast<const char *>(data) + 2, size - 2);
    const std::u32string text = pclxl_host::decode_utf8(bytes);

    std::vector<pclxl_host::TextPage> pages;
    pclxl_host::lay_out_text(text, width, lines_per_page, font, pages);
    FUZZ_CHECK(!pages.empty(), "no page for %zu bytes", bytes.size());

    std::u32string printed, expected;
    for (const auto &page : pages) {
        FUZZ_CHECK(static_cast<int>(page.size()) <= lines_per_page, "%zu lines, %d fit",
                   page.size(), lines_per_page);
        for (const auto &line : page) {
            if (line.size() > 1)
                FUZZ_CHECK(font.measure(line) <= width + 1, "line of %d pixels, page %d",
                           font.measure(line), width);
            for (char32_t c : line) {
                FUZZ_CHECK(printable(c), "control character U+%04X printed",
                           static_cast<unsigned>(c));
                if (c != U' ')
                    printed.push_back(c);
            }
        }
    }
    for (char32_t c : text)
        if (printable(c) && c != U' ')
            expected.push_back(c);
    FUZZ_CHECK(printed == expected, "%zu characters printed, %zu in the text", printed.size(),
               expected.size());
    return 0;
}
