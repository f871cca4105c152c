#include "job_device.h"

#include "driver.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pclxl_app {
namespace {

struct JobEntry {
    pappl_device_t *device; // what the job writes to
    bool own;               // opened by the job itself
    std::string path;       // the file it makes in a folder, if it does
    std::string partial;    // where that file is written until the job ends
    size_t written_before;  // the device's count of bytes written at the start
};

std::mutex mutex;
std::map<pappl_job_t *, JobEntry> jobs;

// The printers whose turn is taken, and the one this thread holds (0: none;
// PAPPL numbers printers from 1).
std::mutex turn_mutex;
std::condition_variable turn_given;
std::set<int> turns;
thread_local int turn_held = 0;
// The job this thread brought to the driver during its turn.
thread_local pappl_job_t *reached = nullptr;
std::atomic<bool> warned_unguarded{false};

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

// Says why a job ended before the driver saw it: PAPPL found no page in it
// (a raster stream that is not one), or has no way to print its format.
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

} // namespace

void take_printer_turn(int printer_id) {
    std::unique_lock<std::mutex> lock(turn_mutex);
    turn_given.wait(lock, [printer_id] { return !turns.count(printer_id); });
    turns.insert(printer_id);
    turn_held = printer_id;
    reached = nullptr;
}

void give_printer_turn() {
    std::lock_guard<std::mutex> lock(turn_mutex);
    if (turn_held)
        turns.erase(turn_held);
    turn_held = 0;
    reached = nullptr;
    turn_given.notify_all();
}

DeviceTurn::DeviceTurn(pappl_printer_t *printer) : held_(false) {
    const int id = papplPrinterGetID(printer);
    std::lock_guard<std::mutex> lock(turn_mutex);
    if (turn_held || turns.count(id))
        return;
    turns.insert(id);
    turn_held = id;
    held_ = true;
}

DeviceTurn::~DeviceTurn() {
    if (held_)
        give_printer_turn();
}

bool job_reached_driver(pappl_job_t *job) { return reached == job; }

void job_ended_before_driver(pappl_job_t *job) {
    if (papplJobGetState(job) != IPP_JSTATE_ABORTED)
        return;
    // The empty file PAPPL made for the job in a folder goes: no other job
    // of the printer starts while this thread has its turn.
    std::string path;
    struct stat info;
    if (writes_to_file(papplPrinterGetDeviceURI(papplJobGetPrinter(job)), papplJobGetName(job),
                       &path) &&
        !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_size == 0)
        unlink(path.c_str());
    say_why(job);
}

pappl_device_t *job_device(pappl_job_t *job, pappl_device_t *given) {
    if (!turn_held && !warned_unguarded.exchange(true))
        papplLogJob(job, PAPPL_LOGLEVEL_WARN,
                    "This job runs in a thread that PAPPL started past this program's job "
                    "guard (a PAPPL other than 1.3?): jobs that arrive as another ends may be "
                    "lost.");
    reached = job;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = jobs.find(job);
    if (it != jobs.end())
        return it->second.device;
    pappl_printer_t *printer = papplJobGetPrinter(job);
    JobEntry entry{given, false, std::string(), std::string(), 0};
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
    device_error = 0;
    device_bytes = 0;
    pappl_devmetrics_t metrics;
    papplDeviceGetMetrics(entry.device, &metrics);
    entry.written_before = metrics.write_bytes;
    jobs.emplace(job, entry);
    return entry.device;
}

bool job_device_done(pappl_job_t *job, bool ok) {
    {
        // PAPPL's device buffers writes and drops the error of a write it
        // makes later: what it wrote is compared with what it was given.
        std::lock_guard<std::mutex> lock(mutex);
        auto it = jobs.find(job);
        if (it != jobs.end()) {
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
    if (it == jobs.end())
        return ok;
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
        }
    }
    jobs.erase(it);
    return ok;
}

} // namespace pclxl_app
