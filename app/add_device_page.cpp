#include "add_device_page.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "driver.h"

namespace pclxl_app {

namespace {

constexpr const char *kPath = "/adddevice";

std::string form_value(int count, cups_option_t *form, const char *name) {
    const char *value = cupsGetOption(name, count, form);
    return value ? value : "";
}

// Why the printer cannot be made, or "" once it is (the client is then
// sent to its page).
std::string create(pappl_client_t *client, const std::string &name, const std::string &uri,
                   const std::string &driver) {
    if (name.empty() || uri.empty() || driver.empty())
        return "Please enter a name, a device URI and a driver.";
    if (!papplDeviceIsSupported(uri.c_str()))
        return "That device URI is not one the server can use (socket://HOST:9100, usb://..., "
               "or file:///DIRECTORY where it may write).";
    pappl_printer_t *printer = papplPrinterCreate(papplClientGetSystem(client), 0, name.c_str(),
                                                  driver.c_str(), "", uri.c_str());
    if (!printer) {
        switch (errno) {
        case EEXIST: return "A printer with that name already exists.";
        case EIO: return "Unable to use that driver.";
        case EINVAL:
            return "Printer names must start with a letter or underscore and cannot contain "
                   "special characters.";
        default: return std::strerror(errno);
        }
    }
    char path[1024];
    papplPrinterGetPath(printer, nullptr, path, sizeof path);
    papplClientRespondRedirect(client, HTTP_STATUS_FOUND, path);
    return "";
}

void text_row(pappl_client_t *client, const char *label, const char *name, const std::string &value,
              const char *placeholder) {
    papplClientHTMLPrintf(client,
                          "<tr><th><label for=\"%s\">%s:</label></th><td><input type=\"text\" "
                          "name=\"%s\" id=\"%s\" placeholder=\"%s\" value=\"",
                          name, label, name, name, placeholder);
    papplClientHTMLEscape(client, value.c_str(), 0);
    papplClientHTMLPuts(client, "\" required></td></tr>\n");
}

bool page(pappl_client_t *client, void *) {
    if (!papplClientHTMLAuthorize(client))
        return true;
    std::string status, name, uri, driver;
    if (papplClientGetMethod(client) == HTTP_STATE_POST) {
        cups_option_t *form = nullptr;
        const int count = papplClientGetForm(client, &form);
        if (count <= 0) {
            status = "Invalid form data.";
        } else if (!papplClientIsValidForm(client, count, form)) {
            status = "Invalid form submission.";
        } else {
            name = form_value(count, form, "printer_name");
            uri = form_value(count, form, "device_uri");
            driver = form_value(count, form, "driver_name");
            status = create(client, name, uri, driver);
            if (status.empty()) {
                cupsFreeOptions(count, form);
                return true;
            }
        }
        cupsFreeOptions(count, form);
    }
    if (!papplClientRespond(client, HTTP_STATUS_OK, nullptr, "text/html", 0, 0))
        return false;
    papplClientHTMLHeader(client, "Add Printer by Device URI", 0);
    papplClientHTMLPuts(client, "<div class=\"content\"><div class=\"row\"><div class=\"col-12\">"
                                "<h1 class=\"title\">Add Printer by Device URI</h1>\n");
    if (!status.empty()) {
        papplClientHTMLPuts(client, "<div class=\"banner\">");
        papplClientHTMLEscape(client, status.c_str(), 0);
        papplClientHTMLPuts(client, "</div>\n");
    }
    papplClientHTMLStartForm(client, kPath, false);
    papplClientHTMLPuts(client, "<table class=\"form\"><tbody>\n");
    text_row(client, "Name", "printer_name", name, "Name of printer");
    text_row(client, "Device URI", "device_uri", uri, "socket://HOST:9100");
    papplClientHTMLPuts(client, "<tr><th><label for=\"driver_name\">Driver:</label></th><td>"
                                "<select name=\"driver_name\" id=\"driver_name\">");
    for (int i = 0; i < kDriverCount; i++)
        papplClientHTMLPrintf(client, "<option value=\"%s\"%s>%s</option>", kDrivers[i].name,
                              driver == kDrivers[i].name ? " selected" : "",
                              kDrivers[i].description);
    papplClientHTMLPuts(client, "</select></td></tr>\n<tr><th></th><td><input type=\"submit\" "
                                "value=\"Add Printer\"></td></tr>\n</tbody></table></form>\n"
                                "</div></div></div>\n");
    papplClientHTMLFooter(client);
    return true;
}

} // namespace

void add_device_page(pappl_system_t *system) {
    papplSystemAddResourceCallback(system, kPath, "text/html", page, nullptr);
    papplSystemAddLink(system, "Add Printer by Device URI", kPath, PAPPL_LOPTIONS_PRINTER);
}

} // namespace pclxl_app
