// Files for the tests and their servers: a temporary folder removed with everything in it,
// whole-file reads and writes, and certificates made with the openssl tool.
#pragma once

#include <string>
#include <vector>

namespace rktest {

std::wstring Wide(const std::string& ascii);

class TempDir {
public:
    TempDir();  // under /tmp, readable by servers that run as another user
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string Path(const std::string& name) const { return m_path + "/" + name; }
    std::wstring WidePath(const std::string& name) const { return Wide(Path(name)); }

private:
    std::string m_path;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);  // lstat: a dangling link exists too
void MakeDirs(const std::string& path);
std::vector<std::string> ReadLines(const std::string& path);

// A self-signed key.pem and cert.pem in dir for commonName; throws when openssl fails.
void MakeCertificate(const std::string& dir, const std::string& commonName);

}  // namespace rktest
