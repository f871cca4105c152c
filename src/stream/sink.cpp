// The output sink: the only way out for every byte of the stream. Each piece
// goes straight to the callback of the writer in use on the calling thread,
// or to the process-wide one, on the caller's stack; nothing is buffered, so
// flushing and closing have nothing to do.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "pclxl.hpp"
#include "stream/output.h"

pclxl_write_fn gDataOut = nullptr;
const void *g_data_out_ctx = nullptr;

namespace {

thread_local pclxl_writer *t_writer = nullptr;

// The process-wide message handler, for threads without a writer.
std::mutex g_handler_mutex;
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

pclxl_writer *pclxl::current_writer() { return t_writer; }

int pclxl::say(const char *fmt, ...) {
    pclxl_message_fn handler;
    void *user;
    if (pclxl_writer *w = t_writer) {
        handler = w->handler;
        user = w->user;
    } else {
        std::lock_guard<std::mutex> lock(g_handler_mutex);
        handler = g_handler;
        user = g_handler_user;
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

void pclxl::say_errno(const char *prefix) {
    const int e = errno;
    say("%s: %s\n", prefix, std::strerror(e));
    errno = e;
}

int _dev_write_init(void const *context, pclxl_write_fn callback) {
    gDataOut = callback;
    g_data_out_ctx = context;
    return 1;
}

bool _dev_write(void *buffer, unsigned int length) {
    if (buffer != nullptr && length != 0) {
        pclxl_write_fn callback = gDataOut;
        const void *context = g_data_out_ctx;
        if (const pclxl_writer *w = t_writer) {
            callback = w->callback;
            context = w->context;
        }
        if (callback == nullptr)
            return false;
        callback(buffer, length, context);
        return true;
    }
    if (length == 0)
        pclxl::say("%s(): outBufferLen == 0.\n", "_dev_write");
    if (buffer == nullptr)
        pclxl::say("%s(): outBuffer== NULL.\n", "_dev_write");
    return false;
}

void _dev_write_flush() {}
void _dev_write_exit() {}

extern "C" {

int pclxl_init(const void *context, pclxl_write_fn callback) {
    return _dev_write_init(context, callback);
}

void pclxl_exit(void) { _dev_write_exit(); }

void pclxl_flush_prn_file(void) { _dev_write_flush(); }

pclxl_writer *pclxl_writer_new(const void *context, pclxl_write_fn callback) {
    pclxl_writer *w = new (std::nothrow) pclxl_writer{context, callback, nullptr, nullptr};
    if (w == nullptr)
        pclxl::say("%s(): Fatal Error: out of memory\n", "pclxl_writer_new");
    return w;
}

pclxl_writer *pclxl_writer_use(pclxl_writer *writer) {
    pclxl_writer *before = t_writer;
    t_writer = writer;
    return before;
}

void pclxl_writer_free(pclxl_writer *writer) {
    if (writer != nullptr && t_writer == writer)
        t_writer = nullptr;
    delete writer;
}

void pclxl_set_message_handler(pclxl_message_fn handler, void *user) {
    if (pclxl_writer *w = t_writer) {
        w->handler = handler;
        w->user = handler != nullptr ? user : nullptr;
        return;
    }
    std::lock_guard<std::mutex> lock(g_handler_mutex);
    g_handler = handler;
    g_handler_user = handler != nullptr ? user : nullptr;
}

} // extern "C"
