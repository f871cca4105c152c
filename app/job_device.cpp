#include "job_device.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <pthread.h>
#include <utility>
#include <sys/stat.h>

namespace pclxl_app {
namespace {

struct JobEntry {
    pappl_device_t *device; // what the job writes to
    bool own;               // opened by the job itself
    pthread_t thread;       // the thread that prints it
};

struct PrinterEntry {
    pappl_job_t *writing = nullptr;
};

std::mutex mutex;
std::condition_variable job_done;
std::map<pappl_job_t *, JobEntry> jobs;
std::map<pappl_printer_t *, PrinterEntry> printers;
// The last jobs printed (IDs are unique within a printer). A second start of
// a job comes within moments of the first.
std::deque<std::pair<pappl_printer_t *, int>> printed;
constexpr size_t kPrintedKept = 64;

// A file: device that writes to a file or into a folder (not a character
// device, which may not take a second open).
bool writes_to_file(const char *uri) {
    if (!uri || std::strncmp(uri, "file:", 5) != 0)
        return false;
    char scheme[32], userpass[32], host[256], resource[1024];
    int port;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, userpass, sizeof userpass,
                        host, sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK)
        return false;
    if (char *options = std::strchr(resource, '?'))
        *options = '\0';
    struct stat info;
    return stat(resource, &info) != 0 || !S_ISCHR(info.st_mode);
}

} // namespace

pappl_device_t *job_device(pappl_job_t *job, pappl_device_t *given) {
    std::unique_lock<std::mutex> lock(mutex);
    auto it = jobs.find(job);
    if (it != jobs.end() && pthread_equal(it->second.thread, pthread_self()))
        return it->second.device;
    pappl_printer_t *printer = papplJobGetPrinter(job);
    const std::pair<pappl_printer_t *, int> key(printer, papplJobGetID(job));
    if (it != jobs.end() || std::find(printed.begin(), printed.end(), key) != printed.end()) {
        // PAPPL started the job a second time, in this thread. Returning would
        // print it twice and end it twice (freeing it twice), so the thread
        // ends here once the first one is done with the job.
        papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Started twice; the second start ends.");
        job_done.wait(lock, [job] { return jobs.find(job) == jobs.end(); });
        lock.unlock();
        pthread_exit(nullptr);
    }
    PrinterEntry &p = printers[printer];
    if (p.writing) {
        papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Waiting for job %d to finish writing.",
                    papplJobGetID(p.writing));
        if (!job_done.wait_for(lock, std::chrono::minutes(30), [&p] { return !p.writing; })) {
            papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The printer's previous job did not end.");
            return nullptr;
        }
    }
    JobEntry entry{given, false, pthread_self()};
    const char *uri = papplPrinterGetDeviceURI(printer);
    if (writes_to_file(uri)) {
        entry.device = papplDeviceOpen(uri, papplJobGetName(job), papplLogDevice,
                                       papplPrinterGetSystem(printer));
        entry.own = true;
    }
    if (!entry.device) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to open the device \"%s\".", uri);
        return nullptr;
    }
    p.writing = job;
    jobs.emplace(job, entry);
    return entry.device;
}

void job_device_done(pappl_job_t *job) {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = jobs.find(job);
    if (it == jobs.end() || !pthread_equal(it->second.thread, pthread_self()))
        return;
    if (it->second.own)
        papplDeviceClose(it->second.device);
    jobs.erase(it);
    printed.emplace_back(papplJobGetPrinter(job), papplJobGetID(job));
    if (printed.size() > kPrintedKept)
        printed.pop_front();
    printers[papplJobGetPrinter(job)].writing = nullptr;
    job_done.notify_all();
}

} // namespace pclxl_app
