#pragma once
// The browser's part in a sign-in, played by a test: it opens the authorization address at the test authorization
// server (HTTPS on 127.0.0.1) and follows the redirect to the program's loopback listener (plain HTTP), as a browser
// on the same machine would.

#include <functional>
#include <string>

namespace zendrel::testsupport {

struct HttpVisit {
    std::string failure;  // empty when an answer came
    int status = 0;
    std::string location;  // the Location header, where there is one
    std::string body;
};

// A GET of `address` (http:// or https:// on 127.0.0.1 or localhost; the certificate is not checked) and its answer.
HttpVisit VisitAddress(const std::string& address);

// Opens `authorizationAddress` and follows its redirect, after `editRedirect` had its say on where it goes (as an
// attacker's page might): the loopback listener's answer.
HttpVisit SignInAsBrowser(const std::string& authorizationAddress,
                          const std::function<std::string(const std::string&)>& editRedirect = nullptr);

}  // namespace zendrel::testsupport
