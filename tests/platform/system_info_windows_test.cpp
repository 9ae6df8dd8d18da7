// The system facts on Windows: error texts, and the data folder's rights for the user who installs the service.

#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <string>

#include "platform/system_info.h"
#include "test_files.h"

namespace zendrel {
namespace {

std::unique_ptr<SystemInfo> system = CreateSystemInfo();

TEST(WindowsSystemInfo, ErrorTextsComeWithoutTheirLineEndAndUnknownCodesHaveNone) {
    const std::string denied = system->SystemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(denied.empty());
    EXPECT_NE(denied.back(), '\n');
    EXPECT_NE(denied.back(), '\r');
    EXPECT_EQ(system->SystemErrorText(0x2FFFFFFF), "");
}

// The allowing entry of `folder`'s access list that names `sid`, or none.
const ACCESS_ALLOWED_ACE* AllowedEntryFor(PACL list, PSID sid) {
    for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(list, i, &entry)) continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        if (EqualSid(const_cast<DWORD*>(&allowed->SidStart), sid)) return allowed;
    }
    return nullptr;
}

TEST(WindowsSystemInfo, TheUserGetsModifyRightsOnTheFolderInheritedByWhatIsMadeInIt) {
    testing::TemporaryFolder folder("zendrel-grant");
    ASSERT_TRUE(folder.Created());
    const std::string user = system->CurrentUserName();
    ASSERT_FALSE(user.empty());
    ASSERT_TRUE(system->GrantFolderModify(folder.Path(), user)) << system->LastSystemError();

    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof(sid);
    char domain[256] = {};
    DWORD domainSize = sizeof(domain);
    SID_NAME_USE use{};
    ASSERT_TRUE(LookupAccountNameA(nullptr, user.c_str(), sid, &sidSize, domain, &domainSize, &use));
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(folder.Path().c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, &list, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    const ACCESS_ALLOWED_ACE* entry = AllowedEntryFor(list, sid);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->Mask & (FILE_GENERIC_WRITE | DELETE), static_cast<DWORD>(FILE_GENERIC_WRITE | DELETE));
    EXPECT_EQ(entry->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
              OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    LocalFree(descriptor);
}

}  // namespace
}  // namespace zendrel
