// A self-signed certificate for 127.0.0.1 with its key, written as PEM files into a fresh
// temporary folder that is removed again with the object.
#pragma once

#include <string>

namespace rktest {

class SelfSignedCertificate {
public:
    SelfSignedCertificate();  // throws std::runtime_error when OpenSSL cannot make it
    ~SelfSignedCertificate();
    SelfSignedCertificate(const SelfSignedCertificate&) = delete;
    SelfSignedCertificate& operator=(const SelfSignedCertificate&) = delete;

    const std::string& CertificatePath() const { return m_certificatePath; }
    const std::string& KeyPath() const { return m_keyPath; }

private:
    std::string m_folder;
    std::string m_certificatePath;
    std::string m_keyPath;
};

}  // namespace rktest
