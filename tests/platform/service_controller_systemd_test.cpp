// The service as a systemd user unit, against a stand-in systemctl that records its calls and answers from files.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/service_controller.h"
#include "platform/system_info.h"
#include "test_files.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class SystemdServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.Created());
        const fs::path bin = folder_.MakeFolder("bin");
        const std::string dir = "'" + folder_.Path().string() + "'";
        const std::string script = "#!/bin/sh\n"
                                   "echo \"$*\" >> " + dir + "/calls\n"
                                   "if [ \"$*\" = '--user show-environment' ] && [ -f " + dir + "/no-manager ]; then\n"
                                   "  echo 'Failed to connect to bus: No medium found' >&2; exit 1; fi\n"
                                   "if [ -f " + dir + "/fail ]; then cat " + dir + "/fail >&2; exit $(cat " + dir +
                                   "/status); fi\n"
                                   "case \"$*\" in *' show '*) cat " + dir + "/state ;; esac\n";
        ASSERT_TRUE(testsupport::WriteBytes(bin / "systemctl", script));
        fs::permissions(bin / "systemctl", fs::perms::owner_all);
        ::setenv("PATH", (bin.string() + ":" + path_).c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (folder_.Path() / "config").c_str(), 1);
        ::unsetenv("ZENDREL_DATA_DIR");
    }
    void TearDown() override {
        ::setenv("PATH", path_.c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("ZENDREL_DATA_DIR");
    }

    std::vector<std::string> Calls() const {
        std::vector<std::string> lines;
        const std::string log = testsupport::ReadBytes(folder_.Path() / "calls");
        for (std::size_t start = 0, end; start < log.size(); start = end + 1) {
            end = log.find('\n', start);
            lines.push_back(log.substr(start, end - start));
        }
        fs::remove(folder_.Path() / "calls");
        return lines;
    }
    void Answer(const std::string& file, const std::string& text) const {
        ASSERT_TRUE(testsupport::WriteBytes(folder_.Path() / file, text));
    }
    std::int32_t Install(std::int32_t startType) {
        return services_->Install(kServiceName, kServiceDisplayName, program_, "Zendrel. Caf\xE9 tool.", startType);
    }
    std::string Unit() const { return testsupport::ReadBytes(unit_); }

    const std::string path_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin";
    const testsupport::TemporaryFolder folder_;
    const fs::path unit_ = folder_.Path() / "config" / "systemd" / "user" / "zendrel.service";
    std::string program_ = "/opt/My Apps/zendrel";
    std::unique_ptr<ServiceController> services_ = CreateServiceController();
};

TEST_F(SystemdServiceTest, InstallWritesTheUnitReloadsAndEnablesOnlyAnAutomaticService) {
    struct Case {
        std::int32_t startType;
        const char* dataDir;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {kServiceAutoStart, "/srv/mail 100%", {"--user daemon-reload", "--user enable --now zendrel.service"}},
        {4, nullptr, {"--user daemon-reload"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.startType);
        fs::remove(unit_);
        if (c.dataDir != nullptr) ::setenv("ZENDREL_DATA_DIR", c.dataDir, 1);
        else ::unsetenv("ZENDREL_DATA_DIR");
        ASSERT_EQ(Install(c.startType), 1);
        EXPECT_EQ(Calls(), c.calls);
        const std::string unit = Unit();
        EXPECT_THAT(unit, HasSubstr("\nDescription=Zendrel. Caf\xC3\xA9 tool.\n"));
        EXPECT_THAT(unit, HasSubstr("\nExecStart=\"/opt/My Apps/zendrel\" --service\n"));
        EXPECT_THAT(unit, HasSubstr("\nRestart=on-failure\n"));
        EXPECT_THAT(unit, HasSubstr("\nRestartPreventExitStatus=2\n"));
        EXPECT_THAT(unit, HasSubstr("\nWantedBy=default.target\n"));
        if (c.dataDir != nullptr) {
            EXPECT_THAT(unit, HasSubstr("\nEnvironment=\"ZENDREL_DATA_DIR=/srv/mail 100%%\"\n"));
        } else {
            EXPECT_THAT(unit, Not(HasSubstr("Environment=")));
        }
    }
}

TEST_F(SystemdServiceTest, AnExistingUnitIsNeitherOverwrittenNorReloaded) {
    ASSERT_EQ(Install(kServiceAutoStart), 1);
    Calls();
    const std::string before = Unit();
    program_ = "/elsewhere/zendrel";
    EXPECT_EQ(Install(kServiceAutoStart), 0);
    EXPECT_EQ(CreateSystemInfo()->LastSystemError(), 183u) << "the file-exists code";
    EXPECT_THAT(Calls(), IsEmpty());
    EXPECT_EQ(Unit(), before);
}

TEST_F(SystemdServiceTest, TheUnitsStatesMapOntoTheServiceStates) {
    EXPECT_EQ(services_->QueryState(kServiceName), ServiceState::kNotInstalled);
    EXPECT_THAT(Calls(), IsEmpty()) << "without a unit file nothing is asked";
    ASSERT_EQ(Install(4), 1);
    Calls();
    const std::pair<const char*, ServiceState> cases[] = {
        {"inactive\ndead\n", ServiceState::kStopped},           {"failed\nfailed\n", ServiceState::kStopped},
        {"activating\nstart\n", ServiceState::kStartPending},
        {"deactivating\nstop-sigterm\n", ServiceState::kStopPending},
        {"active\nrunning\n", ServiceState::kRunning},          {"reloading\nreload\n", ServiceState::kRunning},
    };
    for (const auto& [shown, state] : cases) {
        SCOPED_TRACE(shown);
        Answer("state", shown);
        services_ = CreateServiceController();
        EXPECT_EQ(services_->QueryState(kServiceName), state);
        EXPECT_THAT(Calls(), ElementsAre("--user show -p ActiveState,SubState --value zendrel.service"));
    }
}

TEST_F(SystemdServiceTest, TheStateIsAskedOnceForQuickSuccessiveQueriesAndAgainAfterAChange) {
    ASSERT_EQ(Install(4), 1);
    Answer("state", "inactive\ndead\n");
    Calls();
    EXPECT_EQ(services_->QueryState(kServiceName), ServiceState::kStopped);
    Answer("state", "active\nrunning\n");
    EXPECT_EQ(services_->QueryState(kServiceName), ServiceState::kStopped);
    EXPECT_EQ(Calls().size(), 1u);
    ASSERT_EQ(services_->Start(kServiceName), 1);
    EXPECT_EQ(services_->QueryState(kServiceName), ServiceState::kRunning);
    EXPECT_THAT(Calls(), ElementsAre("--user start zendrel.service",
                                     "--user show -p ActiveState,SubState --value zendrel.service"));
}

TEST_F(SystemdServiceTest, UninstallStopsDisablesRemovesAndReloads) {
    ASSERT_EQ(Install(kServiceAutoStart), 1);
    Calls();
    ASSERT_EQ(services_->Uninstall(kServiceName), 1);
    EXPECT_THAT(Calls(), ElementsAre("--user stop zendrel.service", "--user disable zendrel.service",
                                     "--user daemon-reload"));
    EXPECT_FALSE(fs::exists(unit_));
    EXPECT_EQ(services_->QueryState(kServiceName), ServiceState::kNotInstalled);
}

TEST_F(SystemdServiceTest, ARefusalReadsAsAccessDeniedAndAFailedInstallLeavesNoUnit) {
    const struct {
        int status;
        const char* text;
        std::uint32_t error;
    } cases[] = {
        {1, "Failed to connect to bus: Access denied\n", kErrorAccessDenied},
        {1, "Failed to reload daemon: Permission denied\n", kErrorAccessDenied},
        {1, "Failed to connect to bus: No medium found\n", 31},
        {4, "Access denied\n", 31},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Answer("status", std::to_string(c.status));
        Answer("fail", c.text);
        EXPECT_EQ(Install(kServiceAutoStart), 0);
        EXPECT_EQ(CreateSystemInfo()->LastSystemError(), c.error);
        // The log quotes systemd, never a Windows text for the code.
        EXPECT_EQ(services_->LastErrorText() + "\n", c.text);
        EXPECT_FALSE(fs::exists(unit_)) << "a unit the manager never loaded would look installed but unreadable";
    }
}

TEST_F(SystemdServiceTest, IsAvailableOnlyWhereTheUserHasAServiceManager) {
    for (const bool manager : {true, false}) {
        SCOPED_TRACE(manager);
        if (!manager) Answer("no-manager", "");
        services_ = CreateServiceController();
        EXPECT_EQ(services_->Available(), manager);
        EXPECT_EQ(services_->Available(), manager);
        EXPECT_THAT(Calls(), ElementsAre("--user show-environment")) << "asked once";
    }
    ::setenv("PATH", (folder_.Path() / "nowhere").c_str(), 1);
    services_ = CreateServiceController();
    EXPECT_FALSE(services_->Available()) << "no systemctl at all";
}

TEST_F(SystemdServiceTest, TheWrittenUnitVerifies) {
    program_ = CreateSystemInfo()->ProgramPath();
    ::setenv("ZENDREL_DATA_DIR", (folder_.Path() / "data").c_str(), 1);
    ASSERT_EQ(Install(kServiceAutoStart), 1);
    ::setenv("PATH", path_.c_str(), 1);
    if (std::system("command -v systemd-analyze >/dev/null 2>&1") != 0) GTEST_SKIP() << "no systemd-analyze";
    // The analyser starts a manager of its own, which wants a runtime folder even when it only reads units.
    const fs::path runtime = folder_.MakeFolder("run");
    fs::permissions(runtime, fs::perms::owner_all);
    const std::string command =
        "XDG_RUNTIME_DIR='" + runtime.string() + "' systemd-analyze verify --user '" + unit_.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << Unit();
}

}  // namespace
}  // namespace zendrel
