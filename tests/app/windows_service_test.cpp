// The Windows service through the real service manager (Wine's services.exe under Wine): zendrel.exe installed,
// started by the manager, becoming the service, doing a run at its due time, stopped and removed.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "common/local_time.h"
#include "loopback_pop3_server.h"
#include "platform/known_folders.h"
#include "platform/service_controller.h"
#include "settings/settings_file.h"
#include "test_files.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

// The program becomes the service only under its own name. The suite runs in a Wine prefix of its own, where nothing
// else has installed it.
constexpr const char* kTestServiceName = kServiceName;
// As the program names itself: with backslashes.
const std::string kProgram = fs::path(ZENDREL_PROGRAM).make_preferred().string();
// Long enough for a slow machine; a passing test never waits this long.
constexpr std::chrono::seconds kPatience(30);

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

std::string RegistryText(const std::string& key, const char* value) {
    char buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_ANY | RRF_NOEXPAND, nullptr, buffer, &size) !=
        ERROR_SUCCESS) {
        return "<none>";
    }
    return buffer;
}

class WindowsService : public ::testing::Test {
protected:
    void TearDown() override {
        // Whatever a failed test left behind goes, so the next one starts from no service.
        if (services_->QueryState(kTestServiceName) != ServiceState::kNotInstalled) {
            services_->Uninstall(kTestServiceName);
        }
    }

    bool Gone() {
        return WaitFor([&] { return services_->QueryState(kTestServiceName) == ServiceState::kNotInstalled; },
                       kPatience);
    }

    std::unique_ptr<ServiceController> services_ = CreateServiceController();
};

TEST_F(WindowsService, InstalledDisabledIsNotStartedAndHasItsQuotedPathAndDescription) {
    EXPECT_EQ(services_->QueryState(kTestServiceName), ServiceState::kNotInstalled);
    ASSERT_EQ(services_->Install(kTestServiceName, "Zendrel Test", kProgram, "The test's description.", 4), 1);
    EXPECT_EQ(services_->QueryState(kTestServiceName), ServiceState::kStopped);
    const std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\") + kTestServiceName;
    EXPECT_EQ(RegistryText(key, "ImagePath"), "\"" + kProgram + "\"");
    EXPECT_EQ(RegistryText(key, "Description"), "The test's description.");

    SetLastError(0);
    EXPECT_EQ(services_->Install(kTestServiceName, "Zendrel Test", kProgram, "", 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_EXISTS));

    // Wine reads and writes the service's access list only as far as its stubs go: the calls succeed, which is all
    // this shows; whether the user may then start the service only real Windows can tell.
    EXPECT_EQ(services_->GrantAccess(kTestServiceName, "Everyone", kServiceUserRights), 1);

    EXPECT_EQ(services_->Uninstall(kTestServiceName), 1);
    EXPECT_TRUE(Gone());
}

TEST_F(WindowsService, StartedByTheManagerTheProgramRunsAtTheDueTimeAndStopsOnTheStopControl) {
    const std::string attachment = "a,b,c\r\n1,2,3\r\n";
    const std::string message =
        "From: sender@example.com\r\nTo: box@example.com\r\nSubject: Report\r\n"
        "Message-ID: <service.1@example.com>\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
        "--b1\r\nContent-Type: text/plain\r\n\r\nSee the attachment.\r\n"
        "--b1\r\nContent-Type: text/csv; name=\"service.csv\"\r\n"
        "Content-Disposition: attachment; filename=\"service.csv\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        "YSxiLGMNCjEsMiwzDQo=\r\n--b1--\r\n";
    testsupport::LoopbackPop3Server server("box", "secret", {message});
    ASSERT_TRUE(server.listening());
    testsupport::TemporaryFolder save("zendrel-service-save");
    ASSERT_TRUE(save.Created());

    // A service started by the manager reads its settings from the all-users data folder, not from a variable of
    // this test's environment.
    const fs::path data = SpecialFolderLocation(SpecialFolder::kCommonAppData) / "Korvath" / "Tessaly";
    fs::create_directories(data);
    fs::remove(data / "log.txt");
    // Runs fall on the grid of the start time: the next whole minute that leaves the service time to come up.
    const std::int64_t due = (CurrentLocalSeconds() + 12) / 60 * 60 + 60;
    SettingsRecord settings;
    settings.language = "english";
    settings.server = "127.0.0.1";
    settings.portText = std::to_string(server.port());
    settings.userName = "box";
    settings.password = "secret";
    settings.intervalPosition = 0;
    settings.saveDir = save.Path().string() + "\\";
    settings.startHour = static_cast<int>(due % 86400 / 3600);
    settings.startMinute = static_cast<int>(due % 3600 / 60);
    settings.extensionsText = "csv";
    ASSERT_TRUE(SaveSettings(data, settings));

    ASSERT_EQ(services_->Install(kTestServiceName, "Zendrel Test", kProgram, "", kServiceAutoStart), 1);
    // Running: the manager has started zendrel.exe, which found itself starting and handed itself to the dispatcher.
    EXPECT_TRUE(WaitFor([&] { return services_->QueryState(kTestServiceName) == ServiceState::kRunning; }, kPatience));

    const fs::path saved = save.Path() / "service.csv";
    EXPECT_TRUE(WaitFor([&] { return fs::exists(saved); }, kPatience + std::chrono::seconds(75)));
    EXPECT_EQ(testsupport::ReadBytes(saved), attachment);
    EXPECT_TRUE(WaitFor([&] { return testsupport::ReadBytes(data / "log.txt").find("saved!") != std::string::npos; },
                        kPatience));
    EXPECT_THAT(testsupport::ReadBytes(data / "log.txt"), HasSubstr("File 'service.csv' saved!\r\n"));

    // Paused, the program keeps running and starts no runs; continued, it runs as before.
    EXPECT_EQ(services_->Pause(kTestServiceName), 1);
    EXPECT_TRUE(WaitFor([&] { return services_->QueryState(kTestServiceName) == ServiceState::kPaused; }, kPatience));
    EXPECT_EQ(services_->Resume(kTestServiceName), 1);
    EXPECT_TRUE(WaitFor([&] { return services_->QueryState(kTestServiceName) == ServiceState::kRunning; }, kPatience));

    // Asked to quit, the program ends its loop by itself and the service reports stopped.
    EXPECT_EQ(services_->Stop(kTestServiceName), 1);
    EXPECT_TRUE(WaitFor([&] { return services_->QueryState(kTestServiceName) == ServiceState::kStopped; }, kPatience));

    EXPECT_EQ(services_->Uninstall(kTestServiceName), 1);
    EXPECT_TRUE(Gone());
    fs::remove_all(data.parent_path());
}

}  // namespace
}  // namespace zendrel
