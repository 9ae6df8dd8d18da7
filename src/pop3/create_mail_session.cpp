#include <memory>
#include <new>

#include "net/socket_transport.h"
#include "net/tls_transport.h"
#include "pop3/clock.h"
#include "pop3/mail_session.h"
#include "pop3/pop3_session.h"

namespace zendrel {

std::unique_ptr<MailSession> CreateMailSession() {
    // The caller treats a missing session as "out of memory" and ends its run without contacting the server.
    try {
        return std::make_unique<Pop3MailSession>(WrapWithTls(CreateSocketTransport()),
                                                 std::make_shared<SteadyClock>());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace zendrel
