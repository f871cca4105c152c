// The signals of a CUPS filter's main(): SIGTERM (a cancelled job) calls
// `on_cancel`, which sets a flag so that the current page is finished and
// the job ended cleanly; reads are restarted, so the signal does not cut a
// page short by itself. A backend that goes away is reported through
// write()'s EPIPE rather than SIGPIPE.
#ifndef PCLXL_FILTER_CANCEL_H
#define PCLXL_FILTER_CANCEL_H

#include <csignal>
#include <cstring>

inline void catch_cancel(void (*on_cancel)(int)) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_cancel;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

#endif
