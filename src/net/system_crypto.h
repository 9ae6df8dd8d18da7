#pragma once
// The system's cryptography where a sign-in needs it: OpenSSL on Linux, CNG (bcrypt) on Windows.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// `count` bytes from the system's cryptographically secure random source; none when it cannot give them.
std::optional<std::string> SecureRandomBytes(std::size_t count);

// The SHA-256 digest of `bytes` (32 bytes); none when the system cannot compute it.
std::optional<std::string> Sha256(std::string_view bytes);

}  // namespace zendrel
