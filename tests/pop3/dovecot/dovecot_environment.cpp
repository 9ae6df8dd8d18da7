#include "dovecot_environment.h"

#include "dovecot/message_maker.h"

namespace zendrel::testsupport {
namespace {

std::unique_ptr<DovecotServer> server;
std::optional<testsupport::TemporaryFolder> messages;
std::string unavailable;

bool DeliverFile(const Mailbox& box, const std::string& name) {
    const std::string message = testsupport::ReadBytes(messages->Path() / (name + ".eml"));
    return !message.empty() && server->Deliver(box.user, message);
}

bool FillMailboxes() {
    for (const char* name : {"plain", "attachments", "eightbit", "large"}) {
        if (!DeliverFile(kReader, name)) {
            return false;
        }
    }
    for (const char* name : {"plain", "attachments", "eightbit"}) {
        if (!DeliverFile(kDeleter, name)) {
            return false;
        }
    }
    return DeliverFile(kLoginWatch, "plain") && DeliverFile(kResetter, "plain") && DeliverFile(kResetter, "eightbit");
}

// Registered before main() runs, as GoogleTest asks of global environments.
[[maybe_unused]] ::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(new DovecotEnvironment);

}  // namespace

void DovecotEnvironment::SetUp() {
    messages.emplace("zendrel-messages");
    if (!messages->Created()) {
        unavailable = "cannot create a temporary folder for the messages";
        return;
    }
    if (!MakeTestMessages(messages->Path(), unavailable)) {
        return;
    }
    std::vector<MailUser> users;
    for (const Mailbox& box : {kReader, kLoginWatch, kDeleter, kResetter}) {
        users.push_back({box.user, box.password});
    }
    server = DovecotServer::Start(users, unavailable);
    if (server && !FillMailboxes()) {
        unavailable = "cannot deliver the test messages";
        server.reset();
    }
}

void DovecotEnvironment::TearDown() {
    server.reset();
    messages.reset();
}

DovecotServer* DovecotEnvironment::Server() { return server.get(); }

const std::string& DovecotEnvironment::Unavailable() { return unavailable; }

std::filesystem::path DovecotEnvironment::Messages() { return messages ? messages->Path() : std::filesystem::path(); }

void DovecotTest::SetUp() {
    if (DovecotEnvironment::Server() == nullptr) {
        if (DovecotServer::MayBeUnavailable()) {
            GTEST_SKIP() << "Dovecot cannot be started here: " << DovecotEnvironment::Unavailable();
        }
        FAIL() << "Dovecot did not start: " << DovecotEnvironment::Unavailable();
    }
}

std::string DovecotTest::Original(const std::string& relative) {
    return testsupport::ReadBytes(DovecotEnvironment::Messages() / relative);
}

}  // namespace zendrel::testsupport
