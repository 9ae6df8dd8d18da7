#include "app/sign_in_command.h"

#include <ctime>
#include <optional>

#include "app/saved_settings.h"
#include "app/window_sign_in.h"
#include "oauth/browser_sign_in.h"
#include "oauth/device_sign_in.h"
#include "oauth/providers.h"
#include "oauth/token_store.h"

namespace zendrel {
namespace {

// The device flow: the user enters a code on any device.
SignInResult SignInByCode(const SignInClient& client, std::ostream& out, std::ostream& err,
                          const std::function<void(std::int64_t seconds)>& wait) {
    const std::unique_ptr<HttpsClient> https = CreateHttpsClient();
    std::string detail;
    const std::optional<DeviceCode> code = RequestDeviceCode(*https, client, detail);
    if (!code) {
        err << "zendrel: the sign-in could not be started (" << detail << ")\n";
        return {SignInOutcome::kUnreachable, {}, {}};  // told already
    }
    out << "To sign in, open " << code->verificationUri << " and enter the code " << code->userCode << '\n'
        << std::flush;
    SignInResult result = AwaitDeviceSignIn(*https, client, *code, wait,
                                            [] { return static_cast<std::int64_t>(std::time(nullptr)); });
    if (result.outcome == SignInOutcome::kExpired || result.outcome == SignInOutcome::kCancelled) {
        err << "zendrel: the code ran out before the sign-in was completed\n";
    }
    return result;
}

// The authorization code in a browser on this machine, handed back to the loopback address.
SignInResult SignInByBrowser(const BrowserSignInClient& client, std::ostream& out, std::ostream& err) {
    BrowserSignIn signIn(CreateHttpsClient());
    std::string detail;
    const std::optional<std::string> address = signIn.Start(client, detail);
    if (!address) {
        err << "zendrel: the sign-in could not be started (" << detail << ")\n";
        return {SignInOutcome::kUnreachable, {}, {}};  // told already
    }
    out << "To sign in, open this address in a browser on this computer:\n"
        << *address << '\n'
        << "Waiting for the browser at " << signIn.RedirectUri() << " (" << kBrowserSignInTimeoutSeconds / 60
        << " minutes)\n"
        << std::flush;
    SignInResult result = signIn.Await(kBrowserSignInTimeoutSeconds * 1000);
    if (result.outcome == SignInOutcome::kExpired || result.outcome == SignInOutcome::kCancelled) {
        err << "zendrel: no answer came from the browser within " << kBrowserSignInTimeoutSeconds / 60
            << " minutes\n";
    }
    return result;
}

}  // namespace

int SignInCommand(std::ostream& out, std::ostream& err, const std::function<void(std::int64_t seconds)>& wait) {
    InterfaceTexts texts;
    HandledMessageIds handled;
    const std::optional<SavedSettings> saved = PrepareAndLoadSettings(texts, handled);
    if (!saved) {
        err << "zendrel: the system names no data folder; set HOME or ZENDREL_DATA_DIR\n";
        return 2;
    }
    const SignInSettings& signIn = saved->record.signIn;
    const ProviderEndpoints custom{signIn.authorizeUrl, signIn.tokenUrl, signIn.deviceUrl, signIn.scope};
    const ProviderEndpoints endpoints = EndpointsOf(signIn.provider, signIn.tenant, custom);
    if (signIn.clientId.empty()) {
        err << "zendrel: OAuthClientId is not set: register the program with the provider and set its id\n";
        return 2;
    }
    const bool byCode = !endpoints.deviceUrl.empty();
    if (endpoints.tokenUrl.empty() || (!byCode && endpoints.authorizeUrl.empty())) {
        err << "zendrel: " << signIn.provider
            << " has no token address, or neither a device nor an authorization address (OAuthTokenUrl, "
               "OAuthDeviceUrl, OAuthAuthorizeUrl)\n";
        return 2;
    }
    const SignInResult result =
        byCode ? SignInByCode({endpoints.deviceUrl, endpoints.tokenUrl, signIn.clientId, endpoints.scope,
                               signIn.clientSecret},
                              out, err, wait)
               : SignInByBrowser({endpoints, signIn.clientId, signIn.clientSecret}, out, err);
    switch (result.outcome) {
        case SignInOutcome::kSignedIn:
            break;
        case SignInOutcome::kRefused:
            err << "zendrel: the sign-in was refused (" << result.detail << ")\n";
            return 3;
        case SignInOutcome::kExpired:
        case SignInOutcome::kCancelled:
            return 3;
        case SignInOutcome::kUnreachable:
            if (!result.detail.empty()) err << "zendrel: the provider could not be reached (" << result.detail << ")\n";
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
