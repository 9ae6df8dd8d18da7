#include "platform/service_controller.h"

namespace zendrel {
namespace {

// No service manager that this program can register with yet: the service is never installed, so every process
// runs interactively and the service check box has nothing to do.
class UnavailableServiceController final : public ServiceController {
public:
    bool Available() const override { return false; }
    std::int32_t Start(const std::string&) override { return 0; }
    std::int32_t Stop(const std::string&) override { return 0; }
    std::int32_t Pause(const std::string&) override { return 0; }
    std::int32_t Resume(const std::string&) override { return 0; }
    std::int32_t Install(const std::string&, const std::string&, const std::string&, const std::string&,
                         std::int32_t) override {
        return 0;
    }
    std::int32_t Uninstall(const std::string&) override { return 0; }
    std::int32_t RunAsService(const std::string&, ServiceProgram, ServiceControlCallback) override { return 0; }
    ServiceState QueryState(const std::string&) override { return ServiceState::kNotInstalled; }
    std::int32_t GrantAccess(const std::string&, const std::string&, std::uint32_t) override { return 0; }
};

}  // namespace

bool ServicePaused() { return false; }

std::unique_ptr<ServiceController> CreateServiceController() {
    return std::make_unique<UnavailableServiceController>();
}

}  // namespace zendrel
