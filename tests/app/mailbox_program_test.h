#pragma once
// The built zendrel doing mailbox runs on saved settings: a data folder of its own (ZENDREL_DATA_DIR) with a
// "Reader.prefs" written by the settings library, a save folder, and a mailbox on the test Dovecot server.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "log_rows.h"
#include "mailbox_server.h"
#include "program_runner.h"
#include "settings/settings_file.h"
#include "test_files.h"
#include "test_mail.h"

namespace zendrel::testsupport {

inline const std::filesystem::path kProgram = ZENDREL_PROGRAM;

// The program these tests run: the zendrel built beside them, or another build of it named by ZENDREL_TEST_PROGRAM and
// started through ZENDREL_TEST_PROGRAM_LAUNCHER. make test-windows runs the run-once tests this way on the Windows
// program under Wine, against the same Dovecot server.
struct ProgramUnderTest {
    std::filesystem::path launcher;  // empty: the program is started directly
    std::filesystem::path program;

    static ProgramUnderTest FromEnvironment() {
        const char* program = std::getenv("ZENDREL_TEST_PROGRAM");
        const char* launcher = std::getenv("ZENDREL_TEST_PROGRAM_LAUNCHER");
        if (program == nullptr || *program == '\0') return {{}, kProgram};
        return {launcher != nullptr ? launcher : "", program};
    }

    bool IsWindowsProgram() const { return program.extension() == ".exe"; }

    // A path of this machine as the program names it: under Wine the Linux root is the drive Z:.
    std::string PathText(const std::filesystem::path& path) const {
        if (!IsWindowsProgram()) return path.string();
        std::string text = "Z:" + path.string();
        for (char& c : text) c = c == '/' ? '\\' : c;
        return text;
    }

    testsupport::ProgramResult Run(const std::vector<std::string>& arguments, const std::filesystem::path& workingFolder,
                               const std::filesystem::path& scratchFolder,
                               const testsupport::ProgramEnvironment& environment) const {
        testsupport::ProgramResult result;
        if (launcher.empty()) {
            result = testsupport::RunProgramFile(program, arguments, workingFolder, scratchFolder, environment);
        } else {
            std::vector<std::string> launched = {program.string()};
            launched.insert(launched.end(), arguments.begin(), arguments.end());
            result = testsupport::RunProgramFile(launcher, launched, workingFolder, scratchFolder, environment);
        }
        // A Windows program ends its lines with CR LF; the lines are what is compared.
        if (IsWindowsProgram()) {
            std::erase(result.out, '\r');
            std::erase(result.err, '\r');
        }
        return result;
    }

    // The same, running in the background (through the launcher where there is one).
    std::optional<testsupport::StartedProgram> Start(const std::vector<std::string>& arguments,
                                                     const std::filesystem::path& workingFolder,
                                                     const std::filesystem::path& scratchFolder,
                                                     const testsupport::ProgramEnvironment& environment) const {
        if (launcher.empty()) {
            return testsupport::StartedProgram::Start(program, arguments, workingFolder, scratchFolder, environment);
        }
        std::vector<std::string> launched = {program.string()};
        launched.insert(launched.end(), arguments.begin(), arguments.end());
        return testsupport::StartedProgram::Start(launcher, launched, workingFolder, scratchFolder, environment);
    }
};

class MailboxProgramTest : public MailboxServerTest {
protected:
    void SetUp() override {
        MailboxServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(work_.Created());
        ASSERT_FALSE(data_.empty());
        ASSERT_FALSE(save_.empty());
        ASSERT_FALSE(scratch_.empty());
        box_ = NewMailbox();
        // The settings as a user would leave them for this mailbox; the save folder typed without a trailing
        // separator.
        settings_.language = "english";
        settings_.server = Host();
        settings_.portText = std::to_string(Port());
        settings_.userName = box_.user;
        settings_.password = box_.password;
        settings_.intervalPosition = 0;
        settings_.searchString = "";
        settings_.saveDir = program_.PathText(save_);
        settings_.startHour = 0;
        settings_.startMinute = 0;
        settings_.extensionsText = "csv";
    }

    void DeliverMails(const std::vector<TestMail>& mails) {
        std::vector<std::string> messages;
        for (const TestMail& mail : mails) messages.push_back(ComposeMail(mail));
        Deliver(box_, messages);
    }

    void SaveTheSettings() { ASSERT_TRUE(SaveSettings(data_, settings_)) << data_; }

    testsupport::ProgramEnvironment Environment() const { return {{"ZENDREL_DATA_DIR", program_.PathText(data_)}}; }

    testsupport::ProgramResult RunProgram(const std::vector<std::string>& arguments) {
        return program_.Run(arguments, work_.Path(), scratch_, Environment());
    }

    static std::string Shown(const testsupport::ProgramResult& result) {
        return "exit " + std::to_string(result.exitCode) + "\nstdout:\n" + result.out + "stderr:\n" + result.err;
    }

    const ProgramUnderTest program_ = ProgramUnderTest::FromEnvironment();
    testsupport::TemporaryFolder work_{"zendrel-program"};
    std::filesystem::path data_ = work_.MakeFolder("data");
    std::filesystem::path save_ = work_.MakeFolder("save");
    std::filesystem::path scratch_ = work_.MakeFolder("scratch");
    TestMailbox box_;
    SettingsRecord settings_;
};

}  // namespace zendrel::testsupport
