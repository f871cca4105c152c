// PAPPL answers attribute requests with the printer's own collections
// (media-col-database, finishing-col-database, ...): libcups copies a
// collection by reference, so responses written at the same time share it.
// libcups writes a collection by walking it with a cursor kept in the
// collection itself, and two client threads answering at once move each
// other's cursor: one response gets a collection cut short, ends before the
// length it announced, and its client waits for the rest until the
// connection closes. The program's ippWrite and ippWriteFile stand in front
// of libcups's (PAPPL's calls come here first): they encode the message
// into memory one thread at a time, then send it as libcups would.
#include <cups/cups.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <unistd.h>

namespace {

std::mutex encoding;

ssize_t append(void *bytes, ipp_uchar_t *data, size_t size) {
    static_cast<std::string *>(bytes)->append(reinterpret_cast<const char *>(data), size);
    return static_cast<ssize_t>(size);
}

// `ipp` in its wire form, or false when libcups cannot encode it.
bool encode(ipp_t *ipp, std::string *bytes) {
    std::lock_guard<std::mutex> one_at_a_time(encoding);
    ippSetState(ipp, IPP_STATE_IDLE);
    return ippWriteIO(bytes, append, 1, nullptr, ipp) == IPP_STATE_DATA;
}

} // namespace

extern "C" ipp_state_t ippWrite(http_t *http, ipp_t *ipp) {
    std::string bytes;
    if (!http || !ipp || !encode(ipp, &bytes))
        return IPP_STATE_ERROR;
    return httpWrite2(http, bytes.data(), bytes.size()) < 0 ? IPP_STATE_ERROR : IPP_STATE_DATA;
}

extern "C" ipp_state_t ippWriteFile(int fd, ipp_t *ipp) {
    std::string bytes;
    if (fd < 0 || !ipp || !encode(ipp, &bytes))
        return IPP_STATE_ERROR;
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR)
            return IPP_STATE_ERROR;
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    return IPP_STATE_DATA;
}
