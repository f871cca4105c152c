#include "job_device.h"

#include "driver.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <cstdio>
#include <pthread.h>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

namespace pclxl_app {
namespace {

using JobKey = std::pair<pappl_printer_t *, int>; // IDs are unique within a printer

struct JobEntry {
    pappl_device_t *device; // what the job writes to
    bool own;               // opened by the job itself
    std::string path;       // the file it makes in a folder, if it does
    std::string partial;    // where that file is written until the job ends
    size_t written_before;  // the device's count of bytes written at the start
    pthread_t thread;       // the thread that prints it
};

struct PrinterEntry {
    pappl_job_t *writing = nullptr;
};

std::mutex mutex;
std::condition_variable job_done;
std::map<pappl_job_t *, JobEntry> jobs;
std::map<pappl_printer_t *, PrinterEntry> printers;
// The last jobs printed. A second start of a job comes within moments of the
// first.
std::deque<JobKey> printed;
constexpr size_t kPrintedKept = 64;

// What the PAPPL event callback needs, under a lock of its own: it runs with
// PAPPL's printer and job locks held, which job_device() takes under `mutex`.
std::mutex outputs_mutex;
std::condition_variable started;
// The files that finished jobs made in a folder, those set aside while PAPPL
// starts the job again, and the jobs PAPPL has ended at least once.
std::map<JobKey, std::string> outputs;
std::set<JobKey> aside;
std::set<JobKey> ended;
std::deque<JobKey> outputs_order;
// Jobs PAPPL is starting that have not reached the driver yet. PAPPL ends
// such a start as "completed" without printing when the printer's device is
// closed under it, which the end of a job does on a folder printer.
std::set<JobKey> starting;

const char kKeptSuffix[] = ".kept";

// A start of a job has ended: its file, if set aside, comes back.
void bring_back(const JobKey &key) {
    if (!aside.erase(key))
        return;
    const std::string &path = outputs[key];
    std::rename((path + kKeptSuffix).c_str(), path.c_str());
}

// Any start of a job that reaches the driver is no longer starting.
void reached_driver(const JobKey &key) {
    std::lock_guard<std::mutex> lock(outputs_mutex);
    if (starting.erase(key))
        started.notify_all();
}

// Before a job hands the printer back to PAPPL (which then closes the
// device): waits until no other job of the printer is half-way through
// PAPPL's start, at most a few seconds.
void let_other_starts_pass(const JobKey &key) {
    std::unique_lock<std::mutex> lock(outputs_mutex);
    started.wait_for(lock, std::chrono::seconds(10), [&key] {
        for (const JobKey &k : starting)
            if (k.first == key.first && k != key)
                return false;
        return true;
    });
}

// A file: device that writes to a file or into a folder (not a character
// device, which may not take a second open). For a folder, `path` is the
// file a job named `name` makes there, as PAPPL names it.
bool writes_to_file(const char *uri, const char *name, std::string *path) {
    if (!uri || std::strncmp(uri, "file:", 5) != 0)
        return false;
    char scheme[32], userpass[32], host[256], resource[1024];
    int port;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, userpass, sizeof userpass,
                        host, sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK)
        return false;
    std::string ext = "prn";
    if (char *options = std::strchr(resource, '?')) {
        *options++ = '\0';
        if (!std::strncmp(options, "ext=", 4) && !std::strchr(options, '/'))
            ext = options + 4;
    }
    struct stat info;
    if (stat(resource, &info) == 0 && S_ISCHR(info.st_mode))
        return false;
    if (stat(resource, &info) == 0 && S_ISDIR(info.st_mode)) {
        std::string file = name ? name : "";
        for (char &c : file)
            if (static_cast<unsigned char>(c) < ' ' || c == 0x7f || (c & 0x80) || c == '/')
                c = '_';
        *path = std::string(resource) + "/" + file + "." + ext;
    }
    return true;
}

JobKey key_of(pappl_job_t *job) { return JobKey(papplJobGetPrinter(job), papplJobGetID(job)); }

// Says why a job ended before the driver saw it: PAPPL found no page in it
// (a raster stream that is not one), or has no way to print its format. Runs
// in a thread of its own, as the job's lock is PAPPL's until the event ends.
void say_why(pappl_job_t *job) {
    if (papplJobGetMessage(job))
        return;
    const char *format = papplJobGetFormat(job);
    papplJobSetMessage(job,
                       "The document's content is not %s, the format it was sent as, or "
                       "holds no page; nothing was printed.",
                       format ? format : "what it was sent as");
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
}

// A job PAPPL aborted before it reached the driver: the empty file PAPPL
// made for it in a folder goes (no other job of the printer can start while
// PAPPL's event runs), and the job says why.
void aborted_before_driver(pappl_job_t *job) {
    std::string path;
    struct stat info;
    if (writes_to_file(papplPrinterGetDeviceURI(papplJobGetPrinter(job)), papplJobGetName(job),
                       &path) &&
        !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_size == 0)
        unlink(path.c_str());
    std::thread(say_why, job).detach();
}

} // namespace

pappl_device_t *job_device(pappl_job_t *job, pappl_device_t *given) {
    std::unique_lock<std::mutex> lock(mutex);
    auto it = jobs.find(job);
    if (it != jobs.end() && pthread_equal(it->second.thread, pthread_self()))
        return it->second.device;
    reached_driver(key_of(job));
    pappl_printer_t *printer = papplJobGetPrinter(job);
    const JobKey key = key_of(job);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(30);
    bool logged = false;
    // Both starts of a job can wait here for the printer's previous job: each
    // time the printer comes free, this start may have become the second.
    for (;;) {
        if (jobs.count(job) || std::find(printed.begin(), printed.end(), key) != printed.end()) {
            // PAPPL started the job a second time, in this thread. Returning
            // would print it twice and end it twice (freeing it twice), so the
            // thread ends here once the first one is done with the job.
            papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Started twice; the second start ends.");
            job_done.wait(lock, [job] { return jobs.find(job) == jobs.end(); });
            lock.unlock();
            {
                std::lock_guard<std::mutex> outputs_lock(outputs_mutex);
                bring_back(key);
            }
            pthread_exit(nullptr);
        }
        PrinterEntry &p = printers[printer];
        if (!p.writing)
            break;
        if (!logged)
            papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Waiting for job %d to finish writing.",
                        papplJobGetID(p.writing));
        logged = true;
        if (job_done.wait_until(lock, deadline) == std::cv_status::timeout && p.writing) {
            papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The printer's previous job did not end.");
            return nullptr;
        }
    }
    JobEntry entry{given, false, std::string(), std::string(), 0, pthread_self()};
    const char *uri = papplPrinterGetDeviceURI(printer);
    if (writes_to_file(uri, papplJobGetName(job), &entry.path)) {
        // In a folder the job writes a hidden file, which becomes its output
        // only when the job has ended well: a server killed in the middle
        // leaves no half-written output under the job's name.
        const std::string name = entry.path.empty()
                                     ? std::string(papplJobGetName(job))
                                     : "." + std::string(papplJobGetName(job)) + ".partial";
        if (!entry.path.empty())
            writes_to_file(uri, name.c_str(), &entry.partial);
        entry.device =
            papplDeviceOpen(uri, name.c_str(), papplLogDevice, papplPrinterGetSystem(printer));
        entry.own = true;
    }
    if (!entry.device) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to open the device \"%s\".", uri);
        papplJobSetMessage(job, "Unable to open the printer's device (%s): %s.", uri,
                           std::strerror(errno ? errno : EIO));
        return nullptr;
    }
    printers[printer].writing = job;
    device_error = 0;
    device_bytes = 0;
    pappl_devmetrics_t metrics;
    papplDeviceGetMetrics(entry.device, &metrics);
    entry.written_before = metrics.write_bytes;
    jobs.emplace(job, entry);
    return entry.device;
}

bool job_printed_before(pappl_job_t *job) {
    const JobKey key = key_of(job);
    reached_driver(key);
    {
        std::lock_guard<std::mutex> lock(outputs_mutex);
        if (!ended.count(key))
            return false;
    }
    // PAPPL closes the printer's device when this start ends, too.
    let_other_starts_pass(key);
    return true;
}

bool job_device_done(pappl_job_t *job, bool ok) {
    {
        // PAPPL's device buffers writes and drops the error of a write it
        // makes later: what it wrote is compared with what it was given.
        std::lock_guard<std::mutex> lock(mutex);
        auto it = jobs.find(job);
        if (it != jobs.end() && pthread_equal(it->second.thread, pthread_self())) {
            papplDeviceFlush(it->second.device);
            pappl_devmetrics_t metrics;
            papplDeviceGetMetrics(it->second.device, &metrics);
            if (metrics.write_bytes - it->second.written_before < device_bytes) {
                ok = false;
                if (!device_error)
                    device_error = errno ? errno : EIO;
            }
        }
    }
    // A job the device failed says so, with the device's own words.
    if (!ok && device_error && !papplJobIsCanceled(job) && !papplJobGetMessage(job))
        papplJobSetMessage(job, "The printer's device failed: %s. The job was not printed whole.",
                           std::strerror(device_error));
    device_error = 0;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = jobs.find(job);
    if (it == jobs.end() || !pthread_equal(it->second.thread, pthread_self()))
        return ok;
    const JobKey key = key_of(job);
    if (it->second.own) {
        papplDeviceClose(it->second.device);
        const std::string &path = it->second.path;
        if (!ok && !papplJobIsCanceled(job) && !path.empty()) {
            // Nothing of a job that failed stays to be taken for its output
            // (PAPPL made the file under the job's name empty).
            unlink(it->second.partial.c_str());
            struct stat info;
            if (stat(path.c_str(), &info) == 0 && info.st_size == 0)
                unlink(path.c_str());
        } else if (!path.empty()) {
            std::rename(it->second.partial.c_str(), path.c_str());
            std::lock_guard<std::mutex> outputs_lock(outputs_mutex);
            outputs[key] = path;
            outputs_order.push_back(key);
            if (outputs_order.size() > kPrintedKept) {
                outputs.erase(outputs_order.front());
                ended.erase(outputs_order.front());
                outputs_order.pop_front();
            }
        }
    }
    if (it->second.own)
        let_other_starts_pass(key);
    jobs.erase(it);
    printed.push_back(key);
    if (printed.size() > kPrintedKept)
        printed.pop_front();
    printers[key.first].writing = nullptr;
    job_done.notify_all();
    return ok;
}

void job_device_event(pappl_system_t *, pappl_printer_t *, pappl_job_t *job, pappl_event_t event,
                      void *) {
    if (!job || !(event & (PAPPL_EVENT_JOB_STATE_CHANGED | PAPPL_EVENT_JOB_COMPLETED)))
        return;
    const JobKey key = key_of(job);
    std::lock_guard<std::mutex> lock(outputs_mutex);
    const bool completed = event & PAPPL_EVENT_JOB_COMPLETED;
    const bool starts = !completed && papplJobGetState(job) == IPP_JSTATE_PROCESSING;
    if (completed) {
        ended.insert(key);
        if (ended.size() > 4 * kPrintedKept)
            ended.erase(ended.begin());
        if (starting.erase(key)) {
            started.notify_all();
            if (papplJobGetState(job) == IPP_JSTATE_ABORTED)
                aborted_before_driver(job);
        }
    } else if (starts) {
        starting.insert(key);
    }
    auto it = outputs.find(key);
    if (it == outputs.end())
        return;
    if (starts && aside.insert(key).second) {
        // PAPPL starts a job that is already printed: it is about to open (and
        // empty) the job's file. The output steps aside until a start ends.
        std::rename(it->second.c_str(), (it->second + kKeptSuffix).c_str());
    } else if (completed) {
        bring_back(key);
    }
}

} // namespace pclxl_app
