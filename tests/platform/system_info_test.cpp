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

TEST(SystemInfo, TheLanguageOfMessagesDecidesBetweenGermanAndEnglish) {
    const struct {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        const char* language;
    } cases[] = {
        {nullptr, nullptr, "de_DE.UTF-8", "german"}, {nullptr, nullptr, "de", "german"},
        {nullptr, "de_AT@euro", "en_US.UTF-8", "german"}, {"en_GB.UTF-8", "de_DE", "de_DE", "english"},
        {"", "", "de_CH.UTF-8", "german"},            {nullptr, nullptr, "C.UTF-8", "english"},
        {nullptr, nullptr, nullptr, "english"},       {nullptr, nullptr, "dei_XX", "english"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lang != nullptr ? c.lang : "(none)");
        EXPECT_EQ(LanguageOfLocale(c.lcAll, c.lcMessages, c.lang), c.language);
    }
}

}  // namespace
}  // namespace zendrel
