// A build without a TLS library: the connection stays plain, and a request to secure it is refused.

#include "pop3/tls_transport.h"

namespace zendrel {

std::unique_ptr<Transport> WrapWithTls(std::unique_ptr<Transport> inner) { return inner; }

}  // namespace zendrel
