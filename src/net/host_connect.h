#pragma once
// Connecting to a host by its name, the same on every system: the name is looked up on a thread of its own, so that a
// stop does not wait for a slow name server, and its addresses are tried in turn, each with the whole time-out, so
// that an unreachable IPv6 route still leaves time for IPv4. A transport supplies the steps that differ by system.

#include <cstdint>
#include <functional>
#include <string>

#include "net/transport.h"

struct addrinfo;

namespace zendrel {

// What waiting for the name lookup ended with.
enum class LookupWait { kDone, kInterrupted, kFailed };

// What a connect ended with, and why when it failed.
struct ConnectOutcome {
    OpenResult result = OpenResult::kFailed;
    ConnectFailure failure = ConnectFailure::kOther;  // kNone once connected
};

class ConnectSteps {
public:
    virtual ~ConnectSteps() = default;
    // Makes a new signal for one lookup and returns what raises it, called once on the lookup's thread when the lookup
    // has ended. The function owns what it raises: a lookup that a stop has abandoned ends after the transport is
    // gone. Empty when no signal can be had.
    virtual std::function<void()> PrepareLookupSignal() = 0;
    // Waits until the signal prepared last is raised, or until Interrupt().
    virtual LookupWait WaitForLookup() = 0;
    // Connects to one address of the host within timeoutMs, and keeps the connection when it succeeds.
    virtual ConnectOutcome ConnectTo(const addrinfo& address, std::int32_t timeoutMs) = 0;
};

// When the name has several addresses and none of them connects, the failure is that of the last one tried.
ConnectOutcome ConnectToHost(ConnectSteps& steps, const std::string& host, std::int32_t port, std::int32_t timeoutMs);

}  // namespace zendrel
