#include "SelfSignedCertificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

namespace rktest {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

void Require(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("self-signed certificate: ") + what);
}

std::unique_ptr<std::FILE, FileClose> OpenForWriting(const std::string& path) {
    std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "wb"));
    Require(file != nullptr, "cannot write PEM file");
    return file;
}

}  // namespace

SelfSignedCertificate::SelfSignedCertificate() {
    std::string pattern = "/tmp/rkcurl-tls-XXXXXX";
    std::vector<char> folder(pattern.begin(), pattern.end());
    folder.push_back('\0');
    Require(mkdtemp(folder.data()) != nullptr, "mkdtemp");
    m_folder = folder.data();
    m_certificatePath = m_folder + "/server.crt";
    m_keyPath = m_folder + "/server.key";

    std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256"));
    Require(key != nullptr, "key generation");
    std::unique_ptr<X509, CertificateFree> certificate(X509_new());
    Require(certificate != nullptr, "X509_new");
    X509* cert = certificate.get();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 7L * 24 * 3600);
    Require(X509_set_pubkey(cert, key.get()) == 1, "set public key");
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    Require(X509_sign(cert, key.get(), EVP_sha256()) > 0, "sign");

    auto certificateFile = OpenForWriting(m_certificatePath);
    Require(PEM_write_X509(certificateFile.get(), cert) == 1, "write certificate");
    auto keyFile = OpenForWriting(m_keyPath);
    Require(
        PEM_write_PrivateKey(keyFile.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1,
        "write key");
}

SelfSignedCertificate::~SelfSignedCertificate() {
    std::remove(m_certificatePath.c_str());
    std::remove(m_keyPath.c_str());
    rmdir(m_folder.c_str());
}

}  // namespace rktest
