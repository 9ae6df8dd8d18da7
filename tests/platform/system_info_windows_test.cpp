// The system facts on Windows: error texts, and the data folder's rights for the user who installs the service.

#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/folder_access_windows.h"
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
    testsupport::TemporaryFolder folder("zendrel-grant");
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

// The entries of an access list, each as who, what and how it is passed on.
struct ListEntry {
    std::vector<BYTE> sid;
    DWORD rights;
    BYTE flags;
    bool operator==(const ListEntry&) const = default;
};

void PrintTo(const ListEntry& entry, std::ostream* out) {
    *out << "{sid";
    for (BYTE b : entry.sid) *out << ' ' << static_cast<int>(b);
    *out << ", rights " << std::hex << entry.rights << ", flags " << static_cast<int>(entry.flags) << std::dec << '}';
}

ListEntry EntryFor(PSID sid, DWORD rights, BYTE flags) {
    const auto* bytes = static_cast<const BYTE*>(sid);
    return {std::vector<BYTE>(bytes, bytes + GetLengthSid(sid)), rights, flags};
}

std::vector<ListEntry> AllowedEntries(PACL list) {
    std::vector<ListEntry> entries;
    for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
        void* raw = nullptr;
        if (!GetAce(list, i, &raw)) continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << "entry " << i;
        entries.push_back(EntryFor(const_cast<DWORD*>(&allowed->SidStart), allowed->Mask, allowed->Header.AceFlags));
    }
    return entries;
}

struct ReadBack {
    std::vector<ListEntry> entries;
    bool protectedList = false;
};

ReadBack ReadAccessList(const std::filesystem::path& path) {
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ReadBack result;
    EXPECT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list,
                                    nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    if (descriptor == nullptr) return result;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    result.protectedList = (control & SE_DACL_PROTECTED) != 0;
    result.entries = AllowedEntries(list);
    LocalFree(descriptor);
    return result;
}

std::vector<BYTE> SidOf(const char* text) {
    PSID sid = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidA(text, &sid)) << text;
    if (sid == nullptr) return {};
    const auto* bytes = static_cast<const BYTE*>(sid);
    std::vector<BYTE> copy(bytes, bytes + GetLengthSid(sid));
    LocalFree(sid);
    return copy;
}

// The list a data folder gets from the one it had: what it took over from the all-users folder goes, what was set on
// it stays, and the system, the administrators, its owner and the user who narrows it are let in.
TEST(WindowsSystemInfo, TheDataFoldersOwnListDropsWhatCameFromAboveAndLetsInTheSystemTheAdministratorsAndItsUsers) {
    const BYTE below = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    const DWORD modify = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
    std::vector<BYTE> system = SidOf("S-1-5-18");
    std::vector<BYTE> administrators = SidOf("S-1-5-32-544");
    std::vector<BYTE> users = SidOf("S-1-5-32-545");
    std::vector<BYTE> guests = SidOf("S-1-5-32-546");
    std::vector<BYTE> owner = SidOf("S-1-5-21-1-2-3-1001");
    std::vector<BYTE> installer = SidOf("S-1-5-21-1-2-3-1002");
    std::vector<BYTE> other = SidOf("S-1-5-21-1-2-3-1003");

    // A folder an older version made below the all-users folder, with an entry the user who installed the service
    // got, and one an administrator set against the guests.
    std::vector<BYTE> old(1024);
    auto* oldList = reinterpret_cast<PACL>(old.data());
    ASSERT_TRUE(InitializeAcl(oldList, static_cast<DWORD>(old.size()), ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAceEx(oldList, ACL_REVISION, INHERITED_ACE | below, FILE_GENERIC_READ, users.data()));
    ASSERT_TRUE(AddAccessAllowedAceEx(oldList, ACL_REVISION, INHERITED_ACE, FILE_ALL_ACCESS, owner.data()));
    ASSERT_TRUE(AddAccessAllowedAceEx(oldList, ACL_REVISION, below, modify, installer.data()));
    ASSERT_TRUE(AddAccessDeniedAceEx(oldList, ACL_REVISION, below, FILE_GENERIC_WRITE, guests.data()));

    struct NarrowCase {
        const char* name;
        std::vector<BYTE>* caller;
        std::vector<ListEntry> added;  // after the system's and the administrators'
    };
    const NarrowCase cases[] = {
        {"the service", &system, {EntryFor(owner.data(), modify, below)}},
        {"the owner's elevated window", &owner, {EntryFor(owner.data(), modify, below)}},
        {"another user's elevated window", &other,
         {EntryFor(owner.data(), modify, below), EntryFor(other.data(), modify, below)}},
    };
    for (const NarrowCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::byte> made = PrivateAccessList(oldList, owner.data(), c.caller->data());
        ASSERT_FALSE(made.empty());
        auto* list = reinterpret_cast<PACL>(made.data());
        ASSERT_TRUE(IsValidAcl(list));
        ASSERT_GE(list->AceCount, 1u);
        void* first = nullptr;
        ASSERT_TRUE(GetAce(list, 0, &first));
        // The denial comes first, as the system wants it.
        const auto* denied = static_cast<const ACCESS_DENIED_ACE*>(first);
        EXPECT_EQ(denied->Header.AceType, ACCESS_DENIED_ACE_TYPE);
        EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&denied->SidStart), guests.data()));
        std::vector<ListEntry> allowed;
        for (DWORD i = 1; i < list->AceCount; ++i) {
            void* raw = nullptr;
            ASSERT_TRUE(GetAce(list, i, &raw));
            const auto* entry = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
            ASSERT_EQ(entry->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
            allowed.push_back(EntryFor(const_cast<DWORD*>(&entry->SidStart), entry->Mask, entry->Header.AceFlags));
        }
        std::vector<ListEntry> expected = {EntryFor(installer.data(), modify, below),
                                           EntryFor(system.data(), FILE_ALL_ACCESS, below),
                                           EntryFor(administrators.data(), FILE_ALL_ACCESS, below)};
        expected.insert(expected.end(), c.added.begin(), c.added.end());
        EXPECT_EQ(allowed, expected);
    }
}

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The list on a real folder, read back from the file system, and what a file made in it takes over.
TEST(WindowsSystemInfo, TheDataFolderKeepsItsOwnListAndTheFilesInItFollowIt) {
    testsupport::TemporaryFolder base("zendrel-private");
    ASSERT_TRUE(base.Created());
    const std::filesystem::path folder = base.Path() / "Tessaly";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(system->ProtectDataFolder(folder)) << system->LastSystemError();
    if (UnderWine()) {
        // Wine derives a file's access list from its Unix mode and keeps no list of its own: what it reads back
        // would be its own invention.
        GTEST_SKIP() << "Wine keeps no access lists on files";
    }
    ReadBack folderList = ReadAccessList(folder);
    EXPECT_TRUE(folderList.protectedList);
    std::vector<BYTE> users = SidOf("S-1-5-32-545");
    std::vector<BYTE> everyone = SidOf("S-1-1-0");
    std::vector<BYTE> systemSid = SidOf("S-1-5-18");
    ASSERT_GE(folderList.entries.size(), 3u);
    EXPECT_EQ(folderList.entries[0].sid, systemSid);
    const std::filesystem::path file = folder / "Reader.prefs";
    ASSERT_TRUE(testsupport::WriteBytes(file, "Server=pop.example.org\r\n"));
    for (const std::filesystem::path& path : {folder, file}) {
        for (const ListEntry& entry : ReadAccessList(path).entries) {
            EXPECT_NE(entry.sid, users) << path;
            EXPECT_NE(entry.sid, everyone) << path;
        }
    }
    // The user who installs the service gains rights, and the list stays the folder's own.
    ASSERT_TRUE(system->GrantFolderModify(folder, system->CurrentUserName())) << system->LastSystemError();
    EXPECT_TRUE(ReadAccessList(folder).protectedList);
}

}  // namespace
}  // namespace zendrel
