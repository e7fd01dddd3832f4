#include "web/SelfSignedCertificate.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cctype>
#include <filesystem>
#include <memory>

#include "platform/FileIo.h"
#include "platform/Sockets.h"
#include "web/TlsContext.h"

namespace zm {

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

bool IsIpAddress(const std::string& host) {
    in6_addr buffer{};
    return inet_pton(AF_INET, host.c_str(), &buffer) == 1 ||
           inet_pton(AF_INET6, host.c_str(), &buffer) == 1;
}

bool AddExtension(X509* cert, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (ext == nullptr)
        return false;
    const bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

// PEM text of the key or the certificate.
template <typename Write>
bool PemText(Write write, std::string& text) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || !write(bio.get()))
        return false;
    char* data = nullptr;
    long size = BIO_get_mem_data(bio.get(), &data);
    text.assign(data, static_cast<size_t>(size));
    return true;
}

// Written beside its place and moved there, so that a half-written key never stands there.
bool WriteNewFile(const std::string& path, const std::string& text, unsigned mode,
                  std::string& error) {
    const std::string temp = path + ".new";
    // A leftover of an interrupted run goes; a new file is never a link planted there.
    platform::RemoveFile(temp);
    const int fd = platform::CreateNewFile(temp, mode);
    if (fd < 0) {
        error = path + ": cannot be written";
        return false;
    }
    platform::SetFilePermissions(fd, mode);  // whatever the umask let through
    bool ok = platform::WriteFile(fd, text.data(), text.size()) && platform::SyncFile(fd);
    ok = platform::CloseFile(fd) && ok;
    // Never over an existing key or certificate: those are the operator's.
    const bool exists = platform::PathExists(path);
    if (!ok || exists || !platform::ReplaceFile(temp, path)) {
        platform::RemoveFile(temp);
        error = path + (ok ? ": exists already or cannot be created" : ": cannot be written");
        return false;
    }
    const std::string folder = std::filesystem::path(path).parent_path().string();
    platform::SyncFolder(folder.empty() ? "." : folder);
    return true;
}

}  // namespace

bool IsCertificateHostName(const std::string& host) {
    if (host.empty() || host.size() > 253)
        return false;
    if (IsIpAddress(host))
        return true;
    if (host.front() == '-' || host.front() == '.' || host.back() == '-')
        return false;
    for (char c : host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.')
            return false;
    return true;
}

bool MakeSelfSignedCertificate(const std::string& host, SelfSignedCertificate& files,
                               std::string& error) {
    namespace fs = std::filesystem;
    if (!IsCertificateHostName(host)) {
        error = "\"" + host + "\" is no host name or IP address";
        return false;
    }
    std::error_code ec;
    for (const std::string& path : {files.certFile, files.keyFile}) {
        if (fs::exists(path, ec)) {
            error = path + " exists already; remove it first to make a new certificate";
            return false;
        }
    }
    KeyPtr key(EVP_EC_gen("P-256"));
    CertPtr cert(X509_new());
    if (!key || !cert) {
        error = TakeOpenSslError("no key");
        return false;
    }
    unsigned char serial[16];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7f;  // a positive number
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    ASN1_INTEGER* asn1Serial = X509_get_serialNumber(cert.get());
    bool ok = number != nullptr && BN_to_ASN1_INTEGER(number, asn1Serial) != nullptr;
    BN_free(number);
    X509_NAME* name = X509_get_subject_name(cert.get());
    const std::string san = (IsIpAddress(host) ? "IP:" : "DNS:") + host;
    ok = ok && X509_set_version(cert.get(), 2) == 1 &&
         X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) != nullptr &&
         X509_gmtime_adj(X509_getm_notAfter(cert.get()),
                         static_cast<long>(SelfSignedCertificate::kValidDays) * 86400) != nullptr &&
         X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                                    reinterpret_cast<const unsigned char*>("ZorManager"), -1, -1,
                                    0) == 1 &&
         X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                    reinterpret_cast<const unsigned char*>(host.c_str()), -1, -1,
                                    0) == 1 &&
         X509_set_issuer_name(cert.get(), name) == 1 &&
         X509_set_pubkey(cert.get(), key.get()) == 1 &&
         AddExtension(cert.get(), NID_basic_constraints, "critical,CA:FALSE") &&
         AddExtension(cert.get(), NID_key_usage, "critical,digitalSignature,keyEncipherment") &&
         AddExtension(cert.get(), NID_ext_key_usage, "serverAuth") &&
         AddExtension(cert.get(), NID_subject_alt_name, san) &&
         AddExtension(cert.get(), NID_subject_key_identifier, "hash") &&
         X509_sign(cert.get(), key.get(), EVP_sha256()) > 0;
    std::string keyText, certText;
    ok = ok &&
         PemText(
             [&](BIO* bio) {
                 return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr,
                                                 nullptr) == 1;
             },
             keyText) &&
         PemText([&](BIO* bio) { return PEM_write_bio_X509(bio, cert.get()) == 1; }, certText);
    if (!ok) {
        error = TakeOpenSslError("the certificate cannot be made");
        return false;
    }
    fs::create_directories(fs::path(files.keyFile).parent_path(), ec);
    fs::create_directories(fs::path(files.certFile).parent_path(), ec);
    if (!WriteNewFile(files.keyFile, keyText, 0600, error))
        return false;
    if (!WriteNewFile(files.certFile, certText, 0644, error)) {
        platform::RemoveFile(files.keyFile);  // a key without its certificate is of no use
        return false;
    }
    files.fingerprint = Sha256Fingerprint(cert.get());
    return true;
}

}  // namespace zm
