#include <memory>
#include <new>

#include "pop3/clock.h"
#include "pop3/mail_session.h"
#include "pop3/pop3_session.h"
#include "pop3/tls_transport.h"
#if defined(_WIN32)
#include "pop3/winsock_transport.h"
#else
#include "pop3/posix_transport.h"
#endif

namespace zendrel {

#if defined(_WIN32)
using PlatformTransport = WinsockTransport;
#else
using PlatformTransport = PosixTransport;
#endif

std::unique_ptr<MailSession> CreateMailSession() {
    // The caller treats a missing session as "out of memory" and ends its run without contacting the server.
    try {
        return std::make_unique<Pop3MailSession>(WrapWithTls(std::make_unique<PlatformTransport>()),
                                                 std::make_shared<SteadyClock>());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace zendrel
