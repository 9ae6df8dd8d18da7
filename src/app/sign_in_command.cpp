#include "app/sign_in_command.h"

#include <ctime>
#include <optional>

#include "app/saved_settings.h"
#include "oauth/device_sign_in.h"
#include "oauth/providers.h"
#include "oauth/token_store.h"

namespace zendrel {

int SignInCommand(std::ostream& out, std::ostream& err, const std::function<void(std::int64_t seconds)>& wait) {
    InterfaceTexts texts;
    HandledMessageIds handled;
    const std::optional<SavedSettings> saved = PrepareAndLoadSettings(texts, handled);
    if (!saved) {
        err << "zendrel: the system names no data folder; set HOME or ZENDREL_DATA_DIR\n";
        return 2;
    }
    const SignInSettings& signIn = saved->record.signIn;
    const ProviderEndpoints endpoints = EndpointsOf(
        signIn.provider, signIn.tenant, {signIn.authorizeUrl, signIn.tokenUrl, signIn.deviceUrl, signIn.scope});
    if (signIn.clientId.empty()) {
        err << "zendrel: OAuthClientId is not set: register the program with the provider and set its id\n";
        return 2;
    }
    if (endpoints.deviceUrl.empty() || endpoints.tokenUrl.empty()) {
        err << "zendrel: " << signIn.provider
            << " offers no sign-in by a code (OAuthDeviceUrl); this version signs in only that way\n";
        return 2;
    }
    const SignInClient client{endpoints.deviceUrl, endpoints.tokenUrl, signIn.clientId, endpoints.scope};
    const std::unique_ptr<HttpsClient> https = CreateHttpsClient();
    std::string detail;
    const std::optional<DeviceCode> code = RequestDeviceCode(*https, client, detail);
    if (!code) {
        err << "zendrel: the sign-in could not be started (" << detail << ")\n";
        return 3;
    }
    out << "To sign in, open " << code->verificationUri << " and enter the code " << code->userCode << '\n'
        << std::flush;
    const SignInResult result = AwaitDeviceSignIn(*https, client, *code, wait,
                                                  [] { return static_cast<std::int64_t>(std::time(nullptr)); });
    switch (result.outcome) {
        case SignInOutcome::kSignedIn:
            break;
        case SignInOutcome::kRefused:
            err << "zendrel: the sign-in was refused (" << result.detail << ")\n";
            return 3;
        case SignInOutcome::kExpired:
        case SignInOutcome::kCancelled:
            err << "zendrel: the code ran out before the sign-in was completed\n";
            return 3;
        case SignInOutcome::kUnreachable:
            err << "zendrel: the provider could not be reached (" << result.detail << ")\n";
            return 3;
    }
    const std::filesystem::path file = saved->dataFolder / kTokenFileName;
    if (SaveTokens(file, result.tokens) != TokenSave::kSaved) {
        err << "zendrel: " << file.string() << " cannot be written\n";
        return 1;
    }
    out << "zendrel: signed in" << (result.tokens.signedInName.empty() ? "" : " as " + result.tokens.signedInName)
        << '\n';
    return 0;
}

}  // namespace zendrel
