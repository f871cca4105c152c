// The library-information record: a process-wide list of identifying lines,
// "LABEL: value", built once on the first construction of LIBRARY_INFO.
// The values come from the build (see build_info.cmake); items the build
// does not know, such as the git fields of a source tarball, stay empty.
#include <cstddef>

#include "pclxl.hpp"
#include "pclxl_build_info.h"

namespace rur::pclxl {
namespace {

const char *const kLines[] = {
    "LIBRARY_INFO_NAME: pclxl",
    "LIBRARY_INFO_VERSION: " PCLXL_VERSION_STRING,
    "LIBRARY_INFO_BUILD_DATE: " PCLXL_BUILD_DATE,
    "LIBRARY_INFO_BUILD_TYPE: " PCLXL_BUILD_TYPE,
    "LIBRARY_INFO_GIT_BRANCH: " PCLXL_GIT_BRANCH,
    "LIBRARY_INFO_GIT_COMMIT: " PCLXL_GIT_COMMIT,
    "LIBRARY_INFO_GIT_COMMIT_DATE: " PCLXL_GIT_COMMIT_DATE,
};

constexpr std::size_t kCount = sizeof kLines / sizeof kLines[0];

// The list owns only its array of pointers; the texts are constants.
class LineList {
  public:
    LineList() : lines_(new const char *[kCount]) {
        for (std::size_t i = 0; i < kCount; ++i)
            lines_[i] = kLines[i];
    }
    ~LineList() { delete[] lines_; }
    LineList(const LineList &) = delete;
    LineList &operator=(const LineList &) = delete;

    const char *const *lines() const { return lines_; }

  private:
    const char **lines_;
};

// Built on first use under the language's one-time initialisation guard,
// so concurrent first constructions build it once; freed at exit. If the
// allocation throws, nothing is built and the next construction retries.
const LineList &info_list() {
    static const LineList list;
    return list;
}

} // namespace

LIBRARY_INFO::LIBRARY_INFO() { info_list(); }

} // namespace rur::pclxl

extern "C" const char *const *pclxl_library_info(size_t *count) {
    try {
        rur::pclxl::info_list();
    } catch (...) {
        // Without memory for the list the constant lines serve as well.
        if (count != nullptr)
            *count = rur::pclxl::kCount;
        return rur::pclxl::kLines;
    }
    if (count != nullptr)
        *count = rur::pclxl::kCount;
    return rur::pclxl::info_list().lines();
}
