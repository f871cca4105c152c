// Property: the raster filter's page loop takes any bytes as CUPS raster
// without crashing or hanging; it ends with status 0, or 1 after an
// "ERROR: " line; and what it wrote is empty or a job the reader accepts.
#include <cstddef>
#include <cstring>
#include <cups/raster.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "fuzz_input.h"
#include "rastertopclxl.h"
#include "reader.h"

namespace {

int memory_file(const char *name) {
    const int fd = memfd_create(name, 0);
    FUZZ_CHECK(fd >= 0, "memfd_create failed");
    return fd;
}

std::vector<uint8_t> contents(int fd) {
    std::vector<uint8_t> out;
    uint8_t buf[65536];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        out.insert(out.end(), buf, buf + n);
    return out;
}

// libcups allocates and clears a line buffer of the header's bytes per
// line while it reads the header, before the filter can refuse it: a
// header asking for gigabytes costs seconds inside libcups. Such first
// pages are left to the hostile raster tests, which give the sizes with
// an uncompressed stream.
bool huge_first_line(const uint8_t *raster, size_t size) {
    const size_t at = 4 + offsetof(cups_page_header2_t, cupsBytesPerLine);
    if (size < at + 4)
        return false;
    uint32_t sync, v;
    std::memcpy(&sync, raster, 4);
    std::memcpy(&v, raster + at, 4);
    if (sync >> 24 != 'R') // "RaS2", "RaS3", "RaSt" read in the other byte order
        v = __builtin_bswap32(v);
    return v > (1u << 20);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The first byte picks the job options; the rest is the raster.
    static const char *const kOptions[] = {nullptr, "", "Collate=True copies=2",
                                           "Duplex=DuplexNoTumble PageSize=Letter",
                                           "MediaType=Labels InputSlot=Tray1 noCollate"};
    const char *options = size == 0 ? nullptr : kOptions[data[0] % 5];
    if (size > 1 && huge_first_line(data + 1, size - 1))
        return 0;
    const int in = memory_file("raster"), out = memory_file("job");
    if (size > 1 && write(in, data + 1, size - 1) != static_cast<ssize_t>(size - 1))
        std::abort();
    lseek(in, 0, SEEK_SET);

    int status;
    std::string messages;
    {
        pclxl_fuzz::StderrCapture capture;
        status = rastertopclxl_run(in, out, options, nullptr);
        messages = capture.take();
    }
    const std::vector<uint8_t> job = contents(out);
    close(in);
    close(out);

    FUZZ_CHECK(status == 0 || (status == 1 && messages.find("ERROR: ") != std::string::npos),
               "status %d, messages: %s", status, messages.c_str());
    if (job.empty())
        return 0;
    pclxl_reader::Source source(job.data(), job.size());
    pclxl_reader::Listener listener;
    pclxl_reader::Summary summary;
    pclxl_reader::Error error;
    FUZZ_CHECK(pclxl_reader::read_job(source, listener, summary, error),
               "the filter's output is rejected at offset %llu: %s",
               static_cast<unsigned long long>(error.offset), error.message.c_str());
    return 0;
}
