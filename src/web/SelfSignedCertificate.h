#pragma once

#include <string>

namespace zm {

// A first certificate for the station's HTTPS port, before an administrator brings one
// signed by the site's own authority.
struct SelfSignedCertificate {
    static constexpr int kValidDays = 825;
    std::string certFile;
    std::string keyFile;
    std::string fingerprint;  // SHA-256, "AB:CD:..."
};

// Whether a host name or IP address may name the certificate: letters, digits, "-" and
// "." (at most 253), or an IPv4 or IPv6 address.
bool IsCertificateHostName(const std::string& host);

// Writes a new EC P-256 key (mode 0600) and a self-signed certificate for `host` (its
// name and subject alternative name) into the two files. Existing files are never
// overwritten: a running station's key is not replaced by accident. false with `error`.
bool MakeSelfSignedCertificate(const std::string& host, SelfSignedCertificate& files,
                               std::string& error);

}  // namespace zm
