#include "net/host_connect.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <atomic>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

namespace zendrel {
namespace {

// What the lookup's thread and the connecting transport share; the last of the two frees it.
struct Lookup {
    addrinfo* addresses = nullptr;
    int status = EAI_FAIL;
    std::atomic<bool> done{false};
    ~Lookup() {
        if (addresses != nullptr) freeaddrinfo(addresses);
    }
};

// A name server that cannot be asked leaves the name as unknown to the user as one that says it is none.
bool NameUnknown(int status) {
#if defined(_WIN32)
    return status == WSAHOST_NOT_FOUND || status == WSANO_DATA || status == WSATRY_AGAIN || status == WSANO_RECOVERY;
#else
    return status == EAI_NONAME || status == EAI_AGAIN || status == EAI_FAIL
#ifdef EAI_NODATA
           || status == EAI_NODATA
#endif
        ;
#endif
}

}  // namespace

ConnectOutcome ConnectToHost(ConnectSteps& steps, const std::string& host, std::int32_t port,
                             std::int32_t timeoutMs) {
    std::function<void()> raise = steps.PrepareLookupSignal();
    if (!raise) return {};
    const auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, raise = std::move(raise), host, service = std::to_string(port)] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_protocol = IPPROTO_TCP;
            lookup->status = getaddrinfo(host.c_str(), service.c_str(), &hints, &lookup->addresses);
            lookup->done.store(true, std::memory_order_release);
            raise();
        }).detach();
    } catch (const std::system_error&) {
        return {};
    }
    // The resolver's own time-outs bound the lookup; only a stop cuts it short.
    switch (steps.WaitForLookup()) {
        case LookupWait::kInterrupted:
            return {OpenResult::kInterrupted, ConnectFailure::kOther};
        case LookupWait::kFailed:
            return {};
        case LookupWait::kDone:
            break;
    }
    if (!lookup->done.load(std::memory_order_acquire)) return {};
    if (lookup->status != 0) {
        return {OpenResult::kFailed,
                NameUnknown(lookup->status) ? ConnectFailure::kNoSuchHost : ConnectFailure::kOther};
    }
    ConnectOutcome outcome{OpenResult::kFailed, ConnectFailure::kNoSuchHost};  // a name without addresses
    for (const addrinfo* address = lookup->addresses; address != nullptr; address = address->ai_next) {
        outcome = steps.ConnectTo(*address, timeoutMs);
        if (outcome.result != OpenResult::kFailed) return outcome;
    }
    return outcome;
}

}  // namespace zendrel
