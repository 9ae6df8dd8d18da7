// The system's facts as the shell reads them on POSIX: errors arrive as Windows codes with the Windows texts.

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "platform/system_info.h"

namespace zendrel {
namespace {

TEST(SystemInfo, PosixErrorsBecomeWindowsCodes) {
    const std::unique_ptr<SystemInfo> system = CreateSystemInfo();
    const struct {
        int error;
        std::uint32_t code;
    } cases[] = {{EACCES, 5}, {EPERM, 5}, {ENOENT, 2}, {EEXIST, 183}, {ENOSPC, 112}, {EBADF, 31}, {0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        errno = c.error;
        EXPECT_EQ(system->LastSystemError(), c.code);
    }
    EXPECT_EQ(system->SystemErrorText(5), "Access is denied.");
    EXPECT_EQ(system->SystemErrorText(424242), "");
}

TEST(SystemInfo, KnowsTheProgramFile) {
    const std::unique_ptr<SystemInfo> system = CreateSystemInfo();
    const std::string path = system->ProgramPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_NE(path.find("platform_tests"), std::string::npos) << path;
}

}  // namespace
}  // namespace zendrel
