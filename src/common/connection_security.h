#pragma once

#include <cstdint>
#include <optional>

namespace zendrel {

// How the connection to the server is protected; the number is what the settings file stores, and the position of
// the choice in the window.
enum class ConnectionSecurity : std::int32_t {
    kNone = 0,      // plain text
    kStartTls = 1,  // plain connect, then STLS before the login
    kTls = 2,       // TLS from the first byte (POP3S)
};

// The security a stored number names; none for a number that names none.
constexpr std::optional<ConnectionSecurity> ConnectionSecurityOf(std::int32_t number) {
    if (number < 0 || number > 2) return std::nullopt;
    return static_cast<ConnectionSecurity>(number);
}

constexpr std::int32_t NumberOf(ConnectionSecurity security) { return static_cast<std::int32_t>(security); }

}  // namespace zendrel
