#include "save_guard.h"

#include <vector>

namespace pclxl_app {
namespace {

struct Held {
    std::vector<pappl_printer_t *> printers;
    size_t next = 0;
    bool (*save)(pappl_system_t *, void *);
    void *argument;
    pappl_system_t *system;
    bool called = false;
    bool result = false;
};

void add_printer(pappl_printer_t *printer, void *held) {
    static_cast<Held *>(held)->printers.push_back(printer);
}

void hold_next(Held *held);

// Called by PAPPL with the printer read-locked (for its first job only).
void printer_held(pappl_job_t *, void *held) { hold_next(static_cast<Held *>(held)); }

void hold_next(Held *held) {
    if (held->next == held->printers.size()) {
        held->result = held->save(held->system, held->argument);
        held->called = true;
        return;
    }
    pappl_printer_t *printer = held->printers[held->next++];
    papplPrinterIterateAllJobs(printer, printer_held, held, 1, 1);
    // A printer without jobs calls nothing: go on without holding it.
    if (!held->called)
        hold_next(held);
}

} // namespace

bool save_with_printers_held(pappl_system_t *system, bool (*save)(pappl_system_t *, void *),
                             void *argument) {
    Held held;
    held.save = save;
    held.argument = argument;
    held.system = system;
    // The list is taken under the system's lock, the printers' locks after it
    // is released.
    papplSystemIteratePrinters(system, add_printer, &held);
    hold_next(&held);
    return held.result;
}

} // namespace pclxl_app
