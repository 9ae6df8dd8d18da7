#pragma once
// A test certificate authority and server certificates, made with the openssl command (make_certificates.sh) once
// per test program in a temporary folder.

#include <filesystem>

#include "dovecot/dovecot_server.h"

namespace zendrel::testsupport {

// The folder with ca.pem and the certificates; empty when they could not be made.
const std::filesystem::path& TestCertificatesFolder();

// "good", "wrong-host", "expired", "not-yet-valid" or "unknown-issuer" (see make_certificates.sh).
ServerCertificate TestServerCertificate(const char* name);

}  // namespace zendrel::testsupport
