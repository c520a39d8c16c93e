#include "NoProxy.h"

namespace rktool {

bool NoProxyFor(const std::string& list, const std::string& host) {
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        std::string entry = list.substr(start, end - start);
        entry.erase(0, entry.find_first_not_of(' '));
        entry.erase(entry.find_last_not_of(' ') + 1);
        if (!entry.empty() && entry[0] == '.') entry.erase(0, 1);
        if (entry == "*") return true;
        if (!entry.empty() &&
            (host == entry || (host.size() > entry.size() &&
                               host.compare(host.size() - entry.size(), entry.size(), entry) == 0 &&
                               host[host.size() - entry.size() - 1] == '.'))) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace rktool
