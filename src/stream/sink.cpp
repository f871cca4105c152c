// The output sink: the only way out for every byte of the stream, and for
// every trace and error line. Each piece goes straight to the callback of
// the writer in use, or to the process-wide one, on the caller's stack;
// nothing is buffered.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <pthread.h>

#include "core.h"

// The process-wide sink (exported data of the 1.0 interface). It is read at
// every piece: a host may change it between any two.
PCLXL_API pclxl_write_fn gDataOut = nullptr;
PCLXL_API const void *g_data_out_ctx = nullptr;

namespace pclxl::core {
namespace {

thread_local pclxl_writer *t_writer = nullptr;

// The process-wide message handler, for threads without a writer. A POSIX
// mutex: it reports nothing by throwing.
pthread_mutex_t g_handler_mutex = PTHREAD_MUTEX_INITIALIZER;
pclxl_message_fn g_handler = nullptr;
void *g_handler_user = nullptr;

// Hands each line of `text` to the handler without its newline; a last
// line without a newline is delivered too.
void deliver_lines(pclxl_message_fn handler, void *user, char *text) {
    while (*text != '\0') {
        char *end = std::strchr(text, '\n');
        if (end == nullptr) {
            handler(text, user);
            return;
        }
        *end = '\0';
        handler(text, user);
        text = end + 1;
    }
}

} // namespace

Out bind() { return t_writer; }
void use(Out writer) { t_writer = writer; }

bool write(Out out, const void *buffer, unsigned int length) {
    if (buffer != nullptr && length != 0) {
        pclxl_write_fn callback = out ? out->callback : gDataOut;
        const void *context = out ? out->context : g_data_out_ctx;
        if (callback == nullptr)
            return false;
        callback(buffer, length, context);
        return true;
    }
    if (length == 0)
        say(out, "%s(): outBufferLen == 0.\n", "_dev_write");
    if (buffer == nullptr)
        say(out, "%s(): outBuffer== NULL.\n", "_dev_write");
    return false;
}

int say(Out out, const char *fmt, ...) {
    pclxl_message_fn handler;
    void *user;
    if (out != nullptr) {
        handler = out->handler;
        user = out->user;
    } else {
        pthread_mutex_lock(&g_handler_mutex);
        handler = g_handler;
        user = g_handler_user;
        pthread_mutex_unlock(&g_handler_mutex);
    }
    va_list args;
    va_start(args, fmt);
    if (handler == nullptr) {
        const int n = std::vfprintf(stderr, fmt, args);
        va_end(args);
        return n;
    }
    va_list again;
    va_copy(again, args);
    char local[512];
    const int n = std::vsnprintf(local, sizeof local, fmt, args);
    va_end(args);
    char *text = local;
    std::unique_ptr<char, decltype(&std::free)> heap(nullptr, &std::free);
    // A longer line (it may quote a long host text) takes the heap; without
    // memory it goes out cut to the local buffer.
    if (n >= static_cast<int>(sizeof local)) {
        heap.reset(static_cast<char *>(std::malloc(static_cast<size_t>(n) + 1)));
        if (heap) {
            std::vsnprintf(heap.get(), static_cast<size_t>(n) + 1, fmt, again);
            text = heap.get();
        }
    }
    va_end(again);
    if (n > 0)
        deliver_lines(handler, user, text);
    return n;
}

void say_errno(Out out, const char *prefix) {
    const int e = errno;
    say(out, "%s: %s\n", prefix, std::strerror(e));
    errno = e;
}

void set_message_handler(Out out, pclxl_message_fn handler, void *user) {
    if (out != nullptr) {
        out->handler = handler;
        out->user = handler != nullptr ? user : nullptr;
        return;
    }
    pthread_mutex_lock(&g_handler_mutex);
    g_handler = handler;
    g_handler_user = handler != nullptr ? user : nullptr;
    pthread_mutex_unlock(&g_handler_mutex);
}

} // namespace pclxl::core
