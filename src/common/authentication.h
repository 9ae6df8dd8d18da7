#pragma once

#include <cstdint>

namespace zendrel {

// How the mailbox login is made; the number is what the settings file stores.
enum class Authentication : std::int32_t {
    kPassword = 0,
    kOAuth = 1,  // a token from an OAuth 2.0 sign-in, by SASL
};

}  // namespace zendrel
