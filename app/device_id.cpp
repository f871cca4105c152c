#include "device_id.h"

#include <cctype>

namespace pclxl_app {
namespace {

std::string upper(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

std::string device_id_field(const std::string &id, const char *key) {
    static const struct {
        const char *shorter, *longer;
    } aliases[] = {{"MFG", "MANUFACTURER"},
                   {"MDL", "MODEL"},
                   {"CMD", "COMMAND SET"},
                   {"DES", "DESCRIPTION"},
                   {"CLS", "CLASS"}};
    std::string wanted = upper(key), other;
    for (const auto &a : aliases)
        if (wanted == a.shorter || wanted == a.longer) {
            wanted = a.shorter;
            other = a.longer;
        }
    size_t start = 0;
    while (start < id.size()) {
        size_t end = id.find(';', start);
        if (end == std::string::npos)
            end = id.size();
        const std::string pair = id.substr(start, end - start);
        const size_t colon = pair.find(':');
        if (colon != std::string::npos) {
            std::string name = upper(pair.substr(0, colon));
            while (!name.empty() && name.front() == ' ')
                name.erase(0, 1);
            if (name == wanted || (!other.empty() && name == other))
                return pair.substr(colon + 1);
        }
        start = end + 1;
    }
    return "";
}

const char *driver_for_device_id(const std::string &id) {
    const std::string commands = "," + upper(device_id_field(id, "CMD")) + ",";
    bool pclxl = false;
    for (const char *name : {",PCLXL,", ",PCL6,", ",PCL 6,", ",PCL-XL,", ",PCL XL,"})
        pclxl = pclxl || commands.find(name) != std::string::npos;
    if (!pclxl)
        return nullptr;
    const std::string words = upper(device_id_field(id, "MDL") + " " + device_id_field(id, "DES") +
                                    " " + device_id_field(id, "CLS"));
    for (const char *colour : {"COLOR", "COLOUR", "CLJ"})
        if (words.find(colour) != std::string::npos)
            return "pclxl_color";
    return "pclxl_mono";
}

std::string device_id_for_model(const std::string &model) {
    std::string clean;
    for (char c : model)
        if (c != ';' && c != ':' && static_cast<unsigned char>(c) >= ' ')
            clean += c;
    const size_t space = clean.find(' ');
    const std::string maker = space == std::string::npos ? clean : clean.substr(0, space);
    return "MFG:" + maker + ";MDL:" + clean + ";CMD:PJL,PCLXL;";
}

} // namespace pclxl_app
