#pragma once
// Everything a mailbox run reaches, set up in the test process the way the shell sets it up: the parameters, a log
// with a collecting view and real files in a temporary data folder, the texts, the sender lists and the handled
// Message-IDs, which live on from run to run as they do in a process.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "job/activity_log.h"
#include "job/handled_message_ids.h"
#include "job/interface_texts.h"
#include "job/job_parameters.h"
#include "job/mailbox_run.h"
#include "job/remembered_mails.h"
#include "oauth/token_store.h"
#include "job/sender_list.h"
#include "log_rows.h"
#include "platform/locked_log_files.h"
#include "recording_session.h"
#include "test_files.h"

namespace zendrel::testsupport {

class RunBench {
public:
    RunBench() : log_(data_.Path(), view_, files_) {}

    bool Ready() const { return data_.Created() && save_.Created(); }

    // The server and account of the next runs; the save folder is typed without a trailing separator.
    void UseServer(const std::string& host, int port, const std::string& user, const std::string& password) {
        parameters_.server = host;
        parameters_.port = port;
        parameters_.userName = user;
        parameters_.password = password;
        parameters_.saveDir = save_.Path().string();
    }

    // The bench's objects as a run shares them; a test waits for its runs before the bench goes.
    RunServices Services() {
        RunServices services;
        services.log = std::shared_ptr<ActivityLog>(keepAlive_, &log_);
        services.texts = std::shared_ptr<const InterfaceTexts>(keepAlive_, &texts_);
        services.handledMessageIds = std::shared_ptr<HandledMessageIds>(keepAlive_, &handled_);
        services.allowedSenders = std::shared_ptr<const SenderList>(keepAlive_, &allowed_);
        services.blockedSenders = std::shared_ptr<const SenderList>(keepAlive_, &blocked_);
        services.loggingFlag = logging_;
        services.rememberedMailsFile = DataFile(kRememberedMailsFileName);
        services.tokenFile = DataFile(kTokenFileName);
        services.createSession = [journal = journal_] {
            return std::unique_ptr<MailSession>(new RecordingSession(CreateMailSession(), journal));
        };
        return services;
    }

    // The settings of UseServer and of the test, for a run that a controller starts.
    std::function<void(JobParameters&)> Fill() {
        return [this](JobParameters& parameters) {
            parameters.server = parameters_.server;
            parameters.port = parameters_.port;
            parameters.userName = parameters_.userName;
            parameters.password = parameters_.password;
            parameters.security = parameters_.security;
            parameters.authentication = parameters_.authentication;
            parameters.oauthTokenUrl = parameters_.oauthTokenUrl;
            parameters.oauthClientId = parameters_.oauthClientId;
            parameters.oauthClientSecret = parameters_.oauthClientSecret;
            parameters.searchString = parameters_.searchString;
            parameters.saveDir = parameters_.saveDir;
            parameters.extensions = parameters_.extensions;
            parameters.existingFiles = parameters_.existingFiles;
            parameters.subFolder = parameters_.subFolder;
            parameters.saveInline = parameters_.saveInline;
            parameters.rememberMails = parameters_.rememberMails;
            parameters.deleteMails = parameters_.deleteMails;
            parameters.serviceMode = parameters_.serviceMode;
        };
    }

    // One run on this thread, as the run's own thread would do it; it must end by clearing activeRunNumber.
    void RunOnce() {
        parameters_.activeRunNumber.store(7);
        report_ = MailboxRun(parameters_, Services());
        EXPECT_EQ(parameters_.activeRunNumber.load(), 0u) << "the run must clear activeRunNumber as its last step";
    }

    // What a fresh process would have: no handled Message-IDs, an empty log, an empty save folder. What the runs
    // remember across restarts stays in the data folder.
    void StartOver() {
        handled_.Clear();
        view_.Clear();
        journal_->Clear();
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(save_.Path(), error)) {
            std::filesystem::remove_all(entry.path(), error);
        }
        std::filesystem::remove(DataFile(ActivityLog::kDiagnosticLogName), error);
        std::filesystem::remove(DataFile(ActivityLog::kSharedLogName), error);
    }

    // The files in the save folder by name, with their bytes.
    std::map<std::string, std::string> Saved() const { return testsupport::FilesIn(save_.Path()); }
    std::filesystem::path DataFile(const char* name) const { return data_.Path() / name; }
    // The lines of "log_long.txt" behind their stamps.
    std::vector<std::string> Diagnostics() const {
        return TextsOfLogFile(testsupport::ReadBytes(DataFile(ActivityLog::kDiagnosticLogName)));
    }
    std::vector<std::string> Calls() const { return journal_->Calls(); }

protected:
    std::shared_ptr<int> keepAlive_ = std::make_shared<int>(0);
    testsupport::TemporaryFolder data_{"zendrel-data"};
    testsupport::TemporaryFolder save_{"zendrel-save"};
    JobParameters parameters_;
    CollectingView view_;
    LockedLogFiles files_;
    ActivityLog log_;
    InterfaceTexts texts_;
    HandledMessageIds handled_;
    FixedSenderList allowed_;
    FixedSenderList blocked_;
    bool logging_ = false;
    std::shared_ptr<CallJournal> journal_ = std::make_shared<CallJournal>();
    RunReport report_;
};

}  // namespace zendrel::testsupport
