#include <windows.h>
#include <aclapi.h>

#include <atomic>
#include <memory>
#include <string>
#include <utility>

#include "common/unique_handle_windows.h"
#include "common/unique_resource.h"
#include "platform/service_controller.h"
#include "platform/stop_signals.h"

namespace zendrel {
namespace {

// Standard rights with connect, create, enumerate and lock: what removing a service asks of the manager.
constexpr DWORD kManagerAccessForUninstall = 0xF000F;
constexpr DWORD kAllControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN;
// How Uninstall waits for a running service to reach its stopped state.
constexpr DWORD kStopPollMilliseconds = 100;
constexpr DWORD kStopPollLimitMilliseconds = 20000;
// How long the service entry gives the program, asked to quit, before it reports the service stopped. The program
// ends its loop within a tick and gives a run one second to end; what is left then ends with the process.
constexpr DWORD kProgramQuitMilliseconds = 3000;

// A handle of the service manager. Closing it keeps the thread's last error, which the shell reads after a failed
// operation.
struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle handle) noexcept {
        const DWORD error = GetLastError();
        const bool closed = CloseServiceHandle(handle) != 0;
        SetLastError(error);
        return closed;
    }
};
using ServiceHandle = UniqueResource<ServiceHandleTraits>;

// Memory the security functions allocate with LocalAlloc; freeing it keeps the last error too.
struct LocalMemoryTraits {
    using Handle = void*;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle memory) noexcept {
        const DWORD error = GetLastError();
        const bool freed = LocalFree(memory) == nullptr;
        SetLastError(error);
        return freed;
    }
};
using LocalMemory = UniqueResource<LocalMemoryTraits>;

// The one service this process may run as: what the service entry and the control handler share.
struct ServiceRuntimeState {
    std::string serviceName;
    SERVICE_STATUS_HANDLE statusHandle = nullptr;
    UniqueHandle stopSignal;
    UniqueHandle programThread;
    ServiceProgram program;
    ServiceControlCallback control;
    std::atomic<bool> paused{false};
};

ServiceRuntimeState& Runtime() {
    static ServiceRuntimeState state;
    return state;
}

void ReportServiceStatus(DWORD state, DWORD checkPoint, DWORD waitHint) {
    ServiceRuntimeState& runtime = Runtime();
    if (runtime.statusHandle == nullptr) return;
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_START_PENDING ? 0 : kAllControlsAccepted;
    status.dwWin32ExitCode = NO_ERROR;
    status.dwCheckPoint = checkPoint;
    status.dwWaitHint = waitHint;
    SetServiceStatus(runtime.statusHandle, &status);
}

void CallControlCallback(DWORD control) {
    if (Runtime().control) Runtime().control(control);
}

// Runs on the first thread, the one blocked in the dispatcher. The program thread is never suspended or killed: one
// suspended while it holds the heap lock would freeze the run's thread too. Paused, it starts no runs; stopped, it is
// asked to quit and ends its loop itself.
void WINAPI ServiceControlHandler(DWORD control) {
    ServiceRuntimeState& runtime = Runtime();
    switch (control) {
        case SERVICE_CONTROL_STOP:
            ReportServiceStatus(SERVICE_STOP_PENDING, 1, 5000);
            CallControlCallback(control);
            RaiseStopSignal();
            ReleaseSemaphore(runtime.stopSignal.get(), 1, nullptr);
            break;
        case SERVICE_CONTROL_PAUSE:
            ReportServiceStatus(SERVICE_PAUSE_PENDING, 1, 1000);
            CallControlCallback(control);
            runtime.paused = true;
            ReportServiceStatus(SERVICE_PAUSED, 0, 0);
            break;
        case SERVICE_CONTROL_CONTINUE:
            ReportServiceStatus(SERVICE_CONTINUE_PENDING, 1, 1000);
            runtime.paused = false;
            ReportServiceStatus(SERVICE_RUNNING, 0, 0);
            CallControlCallback(control);
            break;
        default:
            CallControlCallback(control);
            break;
    }
}

DWORD WINAPI ProgramThread(void*) {
    Runtime().program(true);
    return 0;
}

void WINAPI ServiceEntry(DWORD, char**) {
    ServiceRuntimeState& runtime = Runtime();
    runtime.statusHandle = RegisterServiceCtrlHandlerA(runtime.serviceName.c_str(), ServiceControlHandler);
    if (runtime.statusHandle == nullptr) return;
    ReportServiceStatus(SERVICE_START_PENDING, 1, 5000);
    runtime.stopSignal.reset(CreateSemaphoreA(nullptr, 0, 1, nullptr));
    if (runtime.stopSignal.valid()) {
        ReportServiceStatus(SERVICE_START_PENDING, 2, 1000);
        ReportServiceStatus(SERVICE_START_PENDING, 3, 5000);
        runtime.programThread.reset(CreateThread(nullptr, 0, ProgramThread, nullptr, 0, nullptr));
        if (runtime.programThread.valid()) {
            ReportServiceStatus(SERVICE_RUNNING, 0, 0);
            // A program that ends by itself (its settings schedule nothing) ends the service too, rather than leave
            // it reported running while nothing runs.
            const HANDLE ends[2] = {runtime.stopSignal.get(), runtime.programThread.get()};
            WaitForMultipleObjects(2, ends, FALSE, INFINITE);
            RaiseStopSignal();
            WaitForSingleObject(runtime.programThread.get(), kProgramQuitMilliseconds);
            runtime.programThread.reset();
        }
        runtime.stopSignal.reset();
    }
    ReportServiceStatus(SERVICE_STOPPED, 0, 0);
    runtime.statusHandle = nullptr;
}

std::int32_t SendServiceControl(const std::string& name, DWORD code) {
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return 0;
    const ServiceHandle service(OpenServiceA(manager.get(), name.c_str(), GENERIC_EXECUTE));
    if (!service) return 0;
    if (code == 0) return StartServiceA(service.get(), 0, nullptr) ? 1 : 0;
    SERVICE_STATUS status{};
    return ControlService(service.get(), code, &status) ? 1 : 0;
}

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle key) noexcept { return RegCloseKey(key) == ERROR_SUCCESS; }
};
using RegistryKey = UniqueResource<RegistryKeyTraits>;

void WriteDescription(const std::string& name, const std::string& description) {
    const std::string path = "SYSTEM\\CurrentControlSet\\Services\\" + name;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_WRITE, &opened) != ERROR_SUCCESS) return;
    const RegistryKey key(opened);
    RegSetValueExA(key.get(), "Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(description.c_str()),
                   static_cast<DWORD>(description.size() + 1));
}

class WindowsServiceController final : public ServiceController {
public:
    bool Available() const override { return true; }

    std::int32_t Start(const std::string& name) override { return SendServiceControl(name, 0); }
    std::int32_t Stop(const std::string& name) override { return SendServiceControl(name, SERVICE_CONTROL_STOP); }
    std::int32_t Pause(const std::string& name) override { return SendServiceControl(name, SERVICE_CONTROL_PAUSE); }
    std::int32_t Resume(const std::string& name) override {
        return SendServiceControl(name, SERVICE_CONTROL_CONTINUE);
    }

    std::int32_t Install(const std::string& name, const std::string& displayName, const std::string& programPath,
                         const std::string& description, std::int32_t startType) override {
        std::int32_t result = 1;
        {
            const ServiceHandle manager(
                OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
            if (!manager) return 0;
            // Quoted: unquoted, a path with blanks ("C:\Program Files\...") would let whoever can write
            // "C:\Program.exe" run code as the local system account.
            const std::string command = "\"" + programPath + "\"";
            const ServiceHandle service(CreateServiceA(manager.get(), name.c_str(), displayName.c_str(),
                                                       SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                                       static_cast<DWORD>(startType), SERVICE_ERROR_NORMAL,
                                                       command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
            if (!service) return 0;
            SERVICE_STATUS status{};
            if (QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_STOPPED &&
                (startType == SERVICE_AUTO_START || startType == SERVICE_DEMAND_START)) {
                result = StartServiceA(service.get(), 0, nullptr) ? 1 : 0;
            }
        }
        if (result != 0 && !description.empty()) WriteDescription(name, description);
        return result;
    }

    std::int32_t Uninstall(const std::string& name) override {
        const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, kManagerAccessForUninstall));
        if (!manager) return 0;
        const ServiceHandle service(OpenServiceA(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
        if (!service) return 0;
        SERVICE_STATUS status{};
        if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
            for (DWORD waited = 0; status.dwCurrentState != SERVICE_STOPPED; waited += kStopPollMilliseconds) {
                if (waited >= kStopPollLimitMilliseconds) {
                    SetLastError(ERROR_SERVICE_REQUEST_TIMEOUT);
                    return 0;
                }
                Sleep(kStopPollMilliseconds);
                if (!QueryServiceStatus(service.get(), &status)) return 0;
            }
        }
        return DeleteService(service.get()) ? 1 : 0;
    }

    std::int32_t RunAsService(const std::string& name, ServiceProgram program,
                              ServiceControlCallback control) override {
        ServiceRuntimeState& runtime = Runtime();
        if (runtime.statusHandle != nullptr || !program) return 0;
        runtime.program = std::move(program);
        runtime.control = std::move(control);
        runtime.serviceName = name;
        SERVICE_TABLE_ENTRYA table[] = {{runtime.serviceName.data(), ServiceEntry}, {nullptr, nullptr}};
        return StartServiceCtrlDispatcherA(table) ? 1 : 0;
    }

    ServiceState QueryState(const std::string& name) override {
        const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
        if (!manager) return ServiceState::kNotInstalled;
        const ServiceHandle service(OpenServiceA(manager.get(), name.c_str(), GENERIC_READ));
        if (!service) return ServiceState::kNotInstalled;
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(service.get(), &status)) return ServiceState::kNotInstalled;
        return ServiceStateOf(status.dwCurrentState);
    }

    std::int32_t GrantAccess(const std::string& name, const std::string& trustee, std::uint32_t rights) override {
        PACL oldList = nullptr;
        LocalMemory descriptor;
        // The security functions return their error instead of setting it; the shell reads it as the last error.
        DWORD error = GetNamedSecurityInfoA(name.c_str(), SE_SERVICE, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                            &oldList, nullptr,
                                            reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.out()));
        if (error != ERROR_SUCCESS) {
            SetLastError(error);
            return 0;
        }
        EXPLICIT_ACCESSA entry{};
        std::string trusteeName = trustee;
        BuildExplicitAccessWithNameA(&entry, trusteeName.data(), rights, SET_ACCESS, NO_INHERITANCE);
        LocalMemory newList;
        error = SetEntriesInAclA(1, &entry, oldList, reinterpret_cast<PACL*>(newList.out()));
        if (error != ERROR_SUCCESS) {
            SetLastError(error);
            return 0;
        }
        std::string objectName = name;
        error = SetNamedSecurityInfoA(objectName.data(), SE_SERVICE, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      static_cast<PACL>(newList.get()), nullptr);
        if (error != ERROR_SUCCESS) {
            SetLastError(error);
            return 0;
        }
        return 1;
    }
};

}  // namespace

bool ServicePaused() { return Runtime().paused.load(); }

std::unique_ptr<ServiceController> CreateServiceController() { return std::make_unique<WindowsServiceController>(); }

}  // namespace zendrel
