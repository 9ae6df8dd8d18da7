#pragma once
// Where each provider signs in, and what a sign-in asks for.

#include <string>
#include <string_view>

namespace zendrel {

struct ProviderEndpoints {
    std::string authorizeUrl;
    std::string tokenUrl;
    std::string deviceUrl;  // empty: no device flow (Google's does not allow the mail scope)
    std::string scope;
    // The loopback redirect's host: Microsoft Entra matches the registered "localhost" exactly (ignoring the port);
    // the others take the address itself, which no hosts file can send elsewhere.
    std::string redirectHost = "127.0.0.1";
    bool asksOfflineConsent = false;  // Google's refresh token comes only with access_type=offline&prompt=consent
};

// The endpoints of "microsoft" (for `tenant`) and "google"; for any other provider the `custom` ones.
ProviderEndpoints EndpointsOf(std::string_view provider, std::string_view tenant, const ProviderEndpoints& custom);

}  // namespace zendrel
