#pragma once
// The mails that runs have examined, kept across restarts in a file of the data folder: by the server's unique id
// (UIDL) where the server gives one, and by Message-ID. The set belongs to the server, the user and the filters it
// was examined with; runs of other filters start from nothing, so that a change of filters examines every mail again.
//
// The file is read at a run's start and written whole at its end, both under the data folder's run lock, which every
// run of the window, the service and --run-once holds for its whole length: two processes never write it at the same
// time, and no run reads it while another is between its read and its write.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/file_io.h"

namespace zendrel {

inline constexpr const char* kRememberedMailsFileName = "examined.dat";

// Bounds of what a read accepts: the file is the program's own, but a damaged or planted one must not take the
// process's memory or time. A mailbox of a million mails fits.
inline constexpr std::uint64_t kLongestRememberedFile = 128u << 20;
inline constexpr std::size_t kLongestRememberedLine = 4096;
// RFC 1939 allows 70 characters in a unique id; a server that sends longer ones has them scanned by header.
inline constexpr std::size_t kLongestUniqueId = 70;
// A longer Message-ID is not kept: its mail is recognised by its unique id, or examined again.
inline constexpr std::size_t kLongestRememberedMessageId = 1000;

struct RememberedMail {
    std::string uniqueId;   // empty when the server gave none
    std::string messageId;  // empty for a mail without one
    bool operator==(const RememberedMail&) const = default;
};

// What the remembered set belongs to.
struct RememberedKey {
    std::string server;
    std::string userName;
    std::string filters;  // FiltersFingerprint of the settings that decide which mails a run saves
    bool operator==(const RememberedKey&) const = default;
};

struct RememberedFile {
    RememberedKey key;
    std::vector<RememberedMail> mails;
};

// What decides which mails a run saves, reduced to one text that changes with any of them. The save folder and the
// subfolders are not part of it: moving the files elsewhere does not make every mail new.
std::string FiltersFingerprint(std::string_view searchString, std::string_view extensions, bool saveInline,
                               const std::vector<std::string>& allowedSenders,
                               const std::vector<std::string>& blockedSenders);

std::string FormatRememberedMails(const RememberedFile& file);
// None when the text is not a whole file of this format within the bounds above.
std::optional<RememberedFile> ParseRememberedMails(std::string_view text);

enum class RememberedRead { kRead, kMissing, kDamaged };
struct [[nodiscard]] RememberedReadResult {
    RememberedRead outcome = RememberedRead::kMissing;
    RememberedFile file;  // with kRead only
};
RememberedReadResult ReadRememberedMails(const std::filesystem::path& path);
// Written whole, private to the user, replacing the earlier file in one step.
FileError WriteRememberedMails(const std::filesystem::path& path, const RememberedFile& file);

// What a run did with one message of the mailbox, in the server's order.
enum class MessageFate : std::uint8_t {
    kNotReached,  // the run ended before it
    kKnown,       // skipped without a look: its unique id was remembered
    kExamined,    // its header was read and it is done with: remembered
    kRetried,     // its header was read, and the next run tries it again: not remembered
};
struct RunMessage {
    std::string uniqueId;
    std::string messageId;  // as its header gave it, for kExamined and kRetried
    MessageFate fate = MessageFate::kNotReached;
};

// The set after a run. A complete run leaves exactly the mails on the server that were examined, so the set never
// outgrows the mailbox; a run that ended early also keeps whatever it did not come to.
std::vector<RememberedMail> RememberedAfterRun(const std::vector<RememberedMail>& before,
                                               std::span<const RunMessage> messages, bool complete);

}  // namespace zendrel
