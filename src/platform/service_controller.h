#pragma once
// The background service as the system's service manager knows it: its state, installing and removing it, starting
// and stopping it, and handing the process to the service dispatcher when the manager started it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/service_state.h"

namespace zendrel {

inline constexpr const char* kServiceName = "Zendrel_Service";
inline constexpr const char* kServiceDisplayName = "Zendrel";

inline constexpr std::int32_t kServiceAutoStart = 2;
// Start, stop and pause or continue: what the interactive user may do with the service without administrator rights.
inline constexpr std::uint32_t kServiceUserRights = 0x70;

// The program's main procedure, run inside the service with the argument true.
using ServiceProgram = std::function<void(bool serviceMode)>;
using ServiceControlCallback = std::function<void(std::uint32_t control)>;

// Every operation keeps no handle open after it returns. After a failure the reason is the system's last error
// (SystemInfo::LastSystemError); nothing is shown to the user here.
class ServiceController {
public:
    virtual ~ServiceController() = default;

    // Whether this platform, and this session on it, has a service manager at all. Where it has none every operation
    // fails and the state reads 0, so the program always runs interactively.
    virtual bool Available() const = 0;

    virtual std::int32_t Start(const std::string& name) = 0;
    virtual std::int32_t Stop(const std::string& name) = 0;
    virtual std::int32_t Pause(const std::string& name) = 0;
    virtual std::int32_t Resume(const std::string& name) = 0;
    // Creates the service and, when it starts by itself, starts it: nonzero only when both worked.
    virtual std::int32_t Install(const std::string& name, const std::string& displayName,
                                 const std::string& programPath, const std::string& description,
                                 std::int32_t startType) = 0;
    virtual std::int32_t Uninstall(const std::string& name) = 0;
    // Nonzero when the process ran as the service and the service has ended; 0 when the service manager did not
    // start this process or refused the call.
    virtual std::int32_t RunAsService(const std::string& name, ServiceProgram program,
                                      ServiceControlCallback control) = 0;
    virtual ServiceState QueryState(const std::string& name) = 0;
    virtual std::int32_t GrantAccess(const std::string& name, const std::string& trustee, std::uint32_t rights) = 0;

    // The service manager's own words for why the last operation failed, as program text; empty where the system's
    // text for the error code says it (Windows). The error code stays what the shell decides by.
    virtual std::string LastErrorText() const { return {}; }
};

// In the process that runs as the service: whether its manager has paused it. A paused service starts no runs; one
// already under way goes on. Always false where the manager has no pause.
bool ServicePaused();

// The service manager of the platform the program was built for.
std::unique_ptr<ServiceController> CreateServiceController();

}  // namespace zendrel
