#pragma once
// Access tokens as an authorization server issues them for the test Dovecot (DovecotServer::Start with a token key).

#include <cstdint>
#include <string>

namespace zendrel::testsupport {

// A JWT for `subject`, signed with `key` by HMAC-SHA256, good until `expiresAt` (seconds since 1970).
std::string SignedTestToken(const std::string& key, const std::string& subject, std::int64_t expiresAt);

}  // namespace zendrel::testsupport
