#pragma once
// The window's OAuth 2.0 sign-in in the system browser: authorization code with PKCE, redirected to a listener on
// 127.0.0.1. It waits beside the window: Start returns at once with the address the browser is to open, and the shell
// asks at its timer whether the sign-in has ended.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "oauth/device_sign_in.h"
#include "settings/settings_file.h"

namespace zendrel {

// How long the window waits for the browser before it gives up.
inline constexpr int kBrowserSignInTimeoutSeconds = 5 * 60;

struct WindowSignInEnd {
    // kSignedIn: the tokens are stored by then. kExpired: the time-out passed. kCancelled: Cancel() ended it.
    SignInOutcome outcome = SignInOutcome::kUnreachable;
    std::string signedInName;  // with kSignedIn, as the id token names the user (UTF-8); may be empty
    std::string detail;        // for the log: the provider's status and error code, never a token
};

class WindowSignIn {
public:
    virtual ~WindowSignIn() = default;
    // Opens the listener and begins waiting for the browser's redirect: the authorization address for the browser,
    // or none with the reason in `detail` (no client id, no endpoints, no listener, a sign-in already waiting).
    virtual std::optional<std::string> Start(const SignInSettings& settings, std::string& detail) = 0;
    // The end of the sign-in Start began, handed out once; none while it still waits or when none was started.
    virtual std::optional<WindowSignInEnd> TakeEnd() = 0;
    // Ends a waiting sign-in as kCancelled (its end still comes from TakeEnd); does nothing when none waits.
    virtual void Cancel() = 0;
    // The stored sign-in: none when not signed in, else the name it was made as ("" when the provider named none).
    virtual std::optional<std::string> SignedInName() const = 0;
};

// The sign-in that stores its tokens in "tokens.dat" of `dataFolder`.
std::unique_ptr<WindowSignIn> CreateWindowSignIn(const std::filesystem::path& dataFolder);

}  // namespace zendrel
