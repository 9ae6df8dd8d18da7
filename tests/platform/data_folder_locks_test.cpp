// The data folder's window claim and run lock on the real system: a second claim in this very process is kept out as
// one in another process would be.

#include "platform/data_folder_locks.h"

#include <gtest/gtest.h>

#include <memory>

#include "test_files.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;

class DataFolderLocksTest : public ::testing::Test {
protected:
    const testsupport::TemporaryFolder folder_{"zendrel-locks"};
    const fs::path data_ = folder_.MakeFolder("data");
    const fs::path other_ = folder_.MakeFolder("other");
    const std::unique_ptr<DataFolderLocks> locks_ = CreateDataFolderLocks();
};

TEST_F(DataFolderLocksTest, OneWindowPerDataFolderAndASecondStartAsksTheFirstForward) {
    std::unique_ptr<WindowClaim> first = locks_->ClaimWindow(data_);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->TakeForwardRequest());
    // The same folder written another way is the same folder.
    EXPECT_EQ(locks_->ClaimWindow(data_ / "." / ""), nullptr);
    EXPECT_TRUE(first->TakeForwardRequest());
    EXPECT_FALSE(first->TakeForwardRequest()) << "one request, one coming forward";
    const std::unique_ptr<WindowClaim> elsewhere = locks_->ClaimWindow(other_);
    EXPECT_NE(elsewhere, nullptr);
    EXPECT_FALSE(first->TakeForwardRequest());

    first.reset();
    EXPECT_NE(locks_->ClaimWindow(data_), nullptr) << "the claim goes with the window";
    // A claim the system cannot make keeps nobody from opening a window.
    EXPECT_NE(locks_->ClaimWindow(data_ / "missing" / "deeper"), nullptr);
}

TEST_F(DataFolderLocksTest, OneRunAtATimePerDataFolder) {
    RunLockResult first = locks_->LockRun(data_);
    ASSERT_EQ(first.state, RunLockState::kLocked);
    EXPECT_NE(first.lock, nullptr);
    EXPECT_EQ(locks_->LockRun(data_).state, RunLockState::kHeld);
    EXPECT_EQ(locks_->LockRun(other_).state, RunLockState::kLocked);
    first.lock.reset();
    EXPECT_EQ(locks_->LockRun(data_).state, RunLockState::kLocked);
    EXPECT_EQ(locks_->LockRun(data_ / "missing").state, RunLockState::kUnavailable);
}

}  // namespace
}  // namespace zendrel
