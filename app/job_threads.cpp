// PAPPL's job threads, seen from in front: PAPPL 1.3 starts a job's
// processing in a thread of its own (_papplJobProcess) or, for a raster
// stream, in the client's thread (_papplJobProcessRaster). Both names are
// exported by libpappl and reached through its symbol table, so the
// program's definitions below come first; they pass each call on to PAPPL's
// own once the printer's turn is theirs (job_device.h says why).
#include <dlfcn.h>

#include "job_device.h"

namespace {

template <typename F> F pappl_own(const char *name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// The job `job_id` on printer `printer_id`, if both still exist.
pappl_job_t *find_job(pappl_system_t *system, int printer_id, int job_id) {
    pappl_printer_t *printer = papplSystemFindPrinter(system, nullptr, printer_id, nullptr);
    return printer ? papplPrinterFindJob(printer, job_id) : nullptr;
}

// Holds the printer's turn for the rest of the scope.
struct Turn {
    explicit Turn(int printer_id) { pclxl_app::take_printer_turn(printer_id); }
    ~Turn() { pclxl_app::give_printer_turn(); }
};

void after_job(pappl_system_t *system, int printer_id, int job_id) {
    pappl_job_t *job = find_job(system, printer_id, job_id);
    if (job && !pclxl_app::job_reached_driver(job))
        pclxl_app::job_ended_before_driver(job);
}

} // namespace

extern "C" void *_papplJobProcess(pappl_job_t *job) {
    static auto process = pappl_own<void *(*)(pappl_job_t *)>("_papplJobProcess");
    pappl_printer_t *printer = papplJobGetPrinter(job);
    pappl_system_t *system = papplPrinterGetSystem(printer);
    const int printer_id = papplPrinterGetID(printer), job_id = papplJobGetID(job);
    Turn turn(printer_id);
    // The job may have been printed by another start, cancelled or held
    // while this one waited; one without a file is a raster stream that its
    // client's thread prints.
    job = find_job(system, printer_id, job_id);
    if (!job || papplJobGetState(job) != IPP_JSTATE_PENDING || !papplJobGetFilename(job))
        return nullptr;
    process(job);
    after_job(system, printer_id, job_id);
    return nullptr;
}

extern "C" void _papplJobProcessRaster(pappl_job_t *job, pappl_client_t *client) {
    static auto process =
        pappl_own<void (*)(pappl_job_t *, pappl_client_t *)>("_papplJobProcessRaster");
    pappl_printer_t *printer = papplJobGetPrinter(job);
    pappl_system_t *system = papplPrinterGetSystem(printer);
    const int printer_id = papplPrinterGetID(printer), job_id = papplJobGetID(job);
    Turn turn(printer_id);
    process(job, client);
    after_job(system, printer_id, job_id);
}
