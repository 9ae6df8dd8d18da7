// Runs that cannot reach a server, and runs that the stop path must end while a server keeps them waiting.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "dovecot/free_port.h"
#include "job/run_control.h"
#include "quiet_server.h"
#include "run_bench.h"

namespace zendrel::testsupport {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace std::chrono_literals;

// Long enough for any machine to get there; the tests never wait this long when all is well.
constexpr std::chrono::milliseconds kPatience = 20s;

class RunWithoutServer : public ::testing::Test, protected RunBench {
protected:
    void SetUp() override { ASSERT_TRUE(Ready()) << "cannot create the temporary folders"; }
};

TEST_F(RunWithoutServer, NobodyListeningOnThePortIsReportedAsAnUnreachableServer) {
    const int port = FindFreeLoopbackPort();
    ASSERT_NE(port, 0);
    UseServer("127.0.0.1", port, "someone", "secret");
    RunOnce();
    const std::vector<std::string> rows = view_.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(StartsWithStamp(rows[0])) << rows[0];
    EXPECT_EQ(TextOfRow(rows[0]), "ERROR!! (Can't reach server)");
    EXPECT_THAT(Calls(), IsEmpty()) << "no logout without a login";
    EXPECT_FALSE(report_.loggedIn);
}

class StoppedRun : public RunWithoutServer {
protected:
    // A run that a failed stop left going must not outlive what it uses; its server has gone by now, so it ends.
    void TearDown() override { controller_.WaitUntilEnded(); }

    RunController controller_;
};

TEST_F(StoppedRun, ServerThatNeverGreetsDoesNotKeepTheStopWaiting) {
    QuietPop3Server server(QuietPop3Server::Silence::BeforeGreeting);
    ASSERT_TRUE(server.Listening());
    UseServer("127.0.0.1", server.Port(), "someone", "secret");
    ASSERT_TRUE(controller_.Start(Fill(), Services()));
    ASSERT_TRUE(server.WaitUntilSilent(kPatience)) << "the run never connected";
    EXPECT_TRUE(controller_.Active());
    EXPECT_FALSE(controller_.Start(Fill(), Services())) << "no second run beside an active one";

    EXPECT_TRUE(controller_.Stop()) << "the run must end within the stop's wait, though the server says nothing";
    EXPECT_FALSE(controller_.Active());
    // A login ended by the user's own stop is no error worth a line.
    EXPECT_THAT(view_.Texts(), IsEmpty());
    EXPECT_TRUE(server.WaitUntilClientLeft(kPatience)) << "the run must close its connection";
}

TEST_F(StoppedRun, ServerThatFallsSilentInsideARetrievalDoesNotKeepTheStopWaiting) {
    QuietPop3Server server(QuietPop3Server::Silence::InsideRetr);
    ASSERT_TRUE(server.Listening());
    UseServer("127.0.0.1", server.Port(), "someone", "secret");
    ASSERT_TRUE(controller_.Start(Fill(), Services()));
    ASSERT_TRUE(server.WaitUntilSilent(kPatience)) << "the run never asked for the mail";

    EXPECT_TRUE(controller_.Stop()) << "the run must end within the stop's wait, though the mail never ends";
    EXPECT_FALSE(controller_.Active());
    // It still logs out as well as it can, and says so.
    EXPECT_THAT(view_.Texts(), ElementsAre(LoggedIn(1), kSignedOut, ""));
    EXPECT_THAT(Calls(), ElementsAre("RETR 1", "QUIT"));
    EXPECT_TRUE(server.WaitUntilClientLeft(kPatience));
    EXPECT_THAT(server.Commands(), Contains("QUIT"));
    // A mail that never arrived is examined again by the next run.
    EXPECT_FALSE(handled_.Contains("<stalled.1@zendrel.test>"));
    EXPECT_EQ(handled_.Size(), 0u);
}

}  // namespace
}  // namespace zendrel::testsupport
