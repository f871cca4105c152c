#ifndef PCLXL_JOB_WORD_MATCH_H
#define PCLXL_JOB_WORD_MATCH_H

#include <cstring>

namespace pclxl {

// True when `text` is `word` or a beginning of it (the empty text included).
// Byte-wise and case-sensitive; a text longer than the word never matches.
inline bool matches_word(const char *text, const char *word) {
    size_t n = std::strlen(text);
    return n <= std::strlen(word) && std::memcmp(text, word, n) == 0;
}

} // namespace pclxl

#endif
