#include "PrivateDirectory.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#if defined(_WIN32)
#include <direct.h>
#include <io.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "Signals.h"

namespace rktool {

PrivateDirectory::~PrivateDirectory() {
    if (m_path.empty()) return;
    RemovePrivateDirectory(m_path.c_str());
    UnregisterTemporary(m_registration);
}

bool PrivateDirectory::Make(const std::string& pattern) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const EndingSignalsHeld held;  // until the directory is registered
#if defined(_WIN32)
    // No mkdtemp here: a fresh name, then a directory that must not exist yet.
    if (_mktemp_s(name.data(), name.size()) != 0 || _mkdir(name.data()) != 0) return false;
#else
    if (mkdtemp(name.data()) == nullptr) return false;  // mode 0700
#endif
    m_path = name.data();
    m_registration = RegisterTemporary(m_path, true);
    return true;
}

#if defined(_WIN32)
unsigned NewFileMode() {
    return 0666;
}
OwnerOnlyFiles::OwnerOnlyFiles() : m_saved(0) {}
OwnerOnlyFiles::~OwnerOnlyFiles() = default;
#else
unsigned NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}
OwnerOnlyFiles::OwnerOnlyFiles() : m_saved(umask(077)) {}
OwnerOnlyFiles::~OwnerOnlyFiles() {
    umask(static_cast<mode_t>(m_saved));
}
#endif

}  // namespace rktool
