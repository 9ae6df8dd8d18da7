#pragma once
// zendrel --sign-in: the OAuth 2.0 sign-in without a window.

#include <cstdint>
#include <functional>
#include <ostream>

namespace zendrel {

// Signs in with the saved provider and stores the tokens. By its device flow where it has one: prints where to go and
// the code to enter, and waits for the user's decision (with `wait`, which lets that many seconds pass). Otherwise in
// a browser: prints the authorization address and waits for the browser's redirect to the loopback address. 0 signed
// in, 3 refused, run out or the provider unreachable, 2 when the settings allow no sign-in, 1 when the tokens cannot
// be stored.
int SignInCommand(std::ostream& out, std::ostream& err, const std::function<void(std::int64_t seconds)>& wait);

}  // namespace zendrel
