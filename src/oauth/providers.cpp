#include "oauth/providers.h"

namespace zendrel {

ProviderEndpoints EndpointsOf(std::string_view provider, std::string_view tenant, const ProviderEndpoints& custom) {
    if (provider == "microsoft") {
        const std::string base = "https://login.microsoftonline.com/" + std::string(tenant) + "/oauth2/v2.0/";
        return {base + "authorize", base + "token", base + "devicecode",
                "https://outlook.office.com/POP.AccessAsUser.All offline_access openid email", "localhost"};
    }
    if (provider == "google") {
        return {"https://accounts.google.com/o/oauth2/v2/auth", "https://oauth2.googleapis.com/token", "",
                "https://mail.google.com/ openid email", "127.0.0.1", true};
    }
    return custom;
}

}  // namespace zendrel
