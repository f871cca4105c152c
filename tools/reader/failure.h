// The reader's internal error: thrown where a fault is found, caught once
// in read_job(), which turns it into an Error.
#ifndef PCLXL_READER_FAILURE_H
#define PCLXL_READER_FAILURE_H

#include <cstdint>
#include <string>

namespace pclxl_reader {

struct Failure {
    uint64_t offset;
    std::string message;
};

[[noreturn]] inline void fail(uint64_t offset, std::string message) {
    throw Failure{offset, std::move(message)};
}

} // namespace pclxl_reader

#endif
