#include "platform/folder_access_windows.h"

#include <aclapi.h>

#include <cstddef>
#include <vector>

#include "common/unique_handle_windows.h"

namespace zendrel {
namespace {

// What a user may do in the data folder: everything but change its rights or take it over.
constexpr DWORD kModifyRights = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
// Every entry reaches the files and folders below, also those made later.
constexpr BYTE kInheritedBelow = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// A SID in a buffer of its own; the largest one the system knows fits.
class Sid {
public:
    Sid() = default;
    static Sid WellKnown(WELL_KNOWN_SID_TYPE type) {
        Sid sid;
        DWORD size = sizeof(sid.bytes_);
        if (!CreateWellKnownSid(type, nullptr, sid.get(), &size)) sid.valid_ = false;
        return sid;
    }
    static Sid CopyOf(PSID source) {
        Sid sid;
        if (source == nullptr || !IsValidSid(source) || !CopySid(sizeof(sid.bytes_), sid.get(), source)) {
            sid.valid_ = false;
        }
        return sid;
    }
    PSID get() { return bytes_; }
    bool valid() const { return valid_; }
    bool Equals(PSID other) { return valid_ && other != nullptr && EqualSid(get(), other); }

private:
    alignas(DWORD) BYTE bytes_[SECURITY_MAX_SID_SIZE] = {};
    bool valid_ = true;
};

// The user the calling process runs as.
Sid ProcessUser() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out())) return Sid::CopyOf(nullptr);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<std::byte> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        return Sid::CopyOf(nullptr);
    }
    return Sid::CopyOf(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

// An access list built entry by entry in memory of its own: first the entries to keep, then the new ones.
class AccessList {
public:
    void Keep(const ACE_HEADER* entry) {
        entries_.insert(entries_.end(), reinterpret_cast<const std::byte*>(entry),
                        reinterpret_cast<const std::byte*>(entry) + entry->AceSize);
        ++count_;
    }
    void Allow(PSID sid, DWORD rights) {
        const DWORD sidSize = GetLengthSid(sid);
        const std::size_t size = offsetof(ACCESS_ALLOWED_ACE, SidStart) + sidSize;
        std::vector<std::byte> entry(size);
        auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(entry.data());
        allowed->Header.AceType = ACCESS_ALLOWED_ACE_TYPE;
        allowed->Header.AceFlags = kInheritedBelow;
        allowed->Header.AceSize = static_cast<WORD>(size);
        allowed->Mask = rights;
        CopySid(sidSize, &allowed->SidStart, sid);
        entries_.insert(entries_.end(), entry.begin(), entry.end());
        ++count_;
    }
    // The list as the system takes it; empty when it cannot be built.
    std::vector<std::byte> Build() const {
        // An entry's size is a multiple of 4 when its SID is; the list's header comes first.
        std::vector<std::byte> list(sizeof(ACL) + entries_.size());
        auto* acl = reinterpret_cast<PACL>(list.data());
        if (!InitializeAcl(acl, static_cast<DWORD>(list.size()), ACL_REVISION)) return {};
        std::size_t offset = 0;
        for (std::size_t i = 0; i < count_; ++i) {
            auto* entry = reinterpret_cast<ACE_HEADER*>(const_cast<std::byte*>(entries_.data()) + offset);
            if (!AddAce(acl, ACL_REVISION, MAXDWORD, entry, entry->AceSize)) return {};
            offset += entry->AceSize;
        }
        return list;
    }

private:
    std::vector<std::byte> entries_;
    std::size_t count_ = 0;
};

}  // namespace

std::vector<std::byte> PrivateAccessList(PACL current, PSID owner, PSID caller) {
    Sid system = Sid::WellKnown(WinLocalSystemSid);
    Sid administrators = Sid::WellKnown(WinBuiltinAdministratorsSid);
    if (!system.valid() || !administrators.valid()) return {};
    AccessList list;
    // The entries set on the folder itself (the user who installed the service, say) stay; those it took over from
    // above go. Denials first, as the system reads them in order.
    for (const bool denials : {true, false}) {
        for (DWORD i = 0; current != nullptr && i < current->AceCount; ++i) {
            void* raw = nullptr;
            if (!GetAce(current, i, &raw)) continue;
            const auto* entry = static_cast<const ACE_HEADER*>(raw);
            if ((entry->AceFlags & INHERITED_ACE) != 0) continue;
            const bool denial =
                entry->AceType == ACCESS_DENIED_ACE_TYPE || entry->AceType == ACCESS_DENIED_OBJECT_ACE_TYPE;
            if (denial == denials) list.Keep(entry);
        }
    }
    list.Allow(system.get(), FILE_ALL_ACCESS);
    list.Allow(administrators.get(), FILE_ALL_ACCESS);
    // The user who made the folder owns it; the user who makes it private now (the window's, when it made the folder
    // or runs elevated) is usually the same one. The system and the administrators have their full rights already.
    Sid creator = Sid::CopyOf(owner);
    Sid user = Sid::CopyOf(caller);
    const auto isUser = [&](Sid& sid) {
        return sid.valid() && !system.Equals(sid.get()) && !administrators.Equals(sid.get());
    };
    if (isUser(creator)) list.Allow(creator.get(), kModifyRights);
    if (isUser(user) && !creator.Equals(user.get())) list.Allow(user.get(), kModifyRights);
    return list.Build();
}

bool ProtectFolderAccess(const std::filesystem::path& folder) {
    PSID owner = nullptr;
    PACL current = nullptr;
    UniqueLocalMemory descriptor;
    DWORD error = GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                                        &current, nullptr, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.out()));
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    // A list of its own already: made so by this program, or by an administrator who knows better.
    if (GetSecurityDescriptorControl(descriptor.get(), &control, &revision) && (control & SE_DACL_PROTECTED) != 0 &&
        current != nullptr) {
        return true;
    }
    Sid caller = ProcessUser();
    std::vector<std::byte> list = PrivateAccessList(current, owner, caller.valid() ? caller.get() : nullptr);
    if (list.empty()) return false;
    // Protected: nothing of the all-users folder's entries reaches it any more. The system passes the new entries on
    // to the files already inside.
    std::wstring path = folder.wstring();
    error = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                  reinterpret_cast<PACL>(list.data()), nullptr);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

bool FolderAccessRefused(const std::filesystem::path& folder) {
    // Opening the folder for a listing is what every use of it starts with; backup semantics opens a folder at all.
    const UniqueHandle opened(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return !opened.valid() && GetLastError() == ERROR_ACCESS_DENIED;
}

bool ProcessRunsElevated() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = sizeof(elevation);
    return GetTokenInformation(token.get(), TokenElevation, &elevation, size, &size) && elevation.TokenIsElevated != 0;
}

}  // namespace zendrel
