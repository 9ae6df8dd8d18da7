#pragma once
// The built zendrel doing mailbox runs on saved settings: a data folder of its own (ZENDREL_DATA_DIR) with a
// "Reader.prefs" written by the settings library, a save folder, and a mailbox on the test Dovecot server.

#include <gtest/gtest.h>

#include <filesystem>
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
        settings_.saveDir = save_.string();
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

    testing::ProgramEnvironment Environment() const { return {{"ZENDREL_DATA_DIR", data_.string()}}; }

    testing::ProgramResult RunProgram(const std::vector<std::string>& arguments) {
        return testing::RunProgramFile(kProgram, arguments, work_.Path(), scratch_, Environment());
    }

    static std::string Shown(const testing::ProgramResult& result) {
        return "exit " + std::to_string(result.exitCode) + "\nstdout:\n" + result.out + "stderr:\n" + result.err;
    }

    testing::TemporaryFolder work_{"zendrel-program"};
    std::filesystem::path data_ = work_.MakeFolder("data");
    std::filesystem::path save_ = work_.MakeFolder("save");
    std::filesystem::path scratch_ = work_.MakeFolder("scratch");
    TestMailbox box_;
    SettingsRecord settings_;
};

}  // namespace zendrel::testsupport
