#include "ftp/tree/SafeNames.h"

#include <cctype>

namespace rkcurl {
namespace ftp {

namespace {

// CON, PRN, AUX, NUL, COM1-9, LPT1-9: the stem before the first dot, in any case.
bool IsReservedDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

bool IsDotName(const std::string& name) {
    return name == "." || name == "..";
}

bool IsSafeLocalName(const std::string& name, bool windowsRules) {
    if (name.empty() || IsDotName(name)) return false;
    if (name.find_first_of(std::string("/\\\r\n:\0", 6)) != std::string::npos) return false;
    if (!windowsRules) return true;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
    }
    if (name.find_first_of("<>\"|?*") != std::string::npos) return false;
    if (name.back() == '.' || name.back() == ' ') return false;
    return !IsReservedDeviceName(name);
}

bool IsSafeLocalName(const std::string& name) {
#if defined(_WIN32)
    return IsSafeLocalName(name, true);
#else
    return IsSafeLocalName(name, false);
#endif
}

bool IsSafeRemoteName(const std::string& name) {
    return !name.empty() && !IsDotName(name) &&
           name.find_first_of(std::string("/\\\r\n\0", 5)) == std::string::npos;
}

}  // namespace ftp
}  // namespace rkcurl
