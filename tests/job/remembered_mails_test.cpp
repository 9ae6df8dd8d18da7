#include "job/remembered_mails.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace zendrel {
namespace {

using testsupport::TemporaryFolder;
using Fate = MessageFate;

struct AfterRunCase {
    const char* what;
    std::vector<RememberedMail> before;
    std::vector<RunMessage> messages;
    bool complete;
    std::vector<RememberedMail> after;
};

// What a run leaves behind, written to a real file and read back: the values keep every byte the server sent.
TEST(RememberedMails, RunLeavesTheExaminedMailsOnTheServerAndReadsBackAsWritten) {
    const AfterRunCase cases[] = {
        {"first run remembers what it examined, by unique id and Message-ID",
         {},
         {{"u1", "<a@x>", Fate::kExamined}, {"u2", "<b@x>", Fate::kExamined}},
         true,
         {{"u1", "<a@x>"}, {"u2", "<b@x>"}}},
        {"a known mail keeps its Message-ID; a retried one is not remembered",
         {{"u1", "<a@x>"}},
         {{"u1", "", Fate::kKnown}, {"u2", "<b@x>", Fate::kRetried}, {"u3", "", Fate::kExamined}},
         true,
         {{"u1", "<a@x>"}, {"u3", ""}}},
        {"a complete run drops the mails that left the server",
         {{"u1", "<a@x>"}, {"u9", "<gone@x>"}, {"", "<gone-too@x>"}},
         {{"u1", "", Fate::kKnown}},
         true,
         {{"u1", "<a@x>"}}},
        {"a run that ended early keeps what it did not come to, and forgets what it retried",
         {{"u1", "<a@x>"}, {"u2", "<b@x>"}, {"u3", "<c@x>"}, {"", "<d@x>"}},
         {{"u1", "", Fate::kKnown}, {"u2", "<b@x>", Fate::kRetried}, {"u3", "", Fate::kNotReached}},
         false,
         {{"u1", "<a@x>"}, {"u3", "<c@x>"}, {"", "<d@x>"}}},
        {"without unique ids the Message-IDs carry the set; a retried one goes",
         {{"", "<a@x>"}, {"", "<b@x>"}},
         {{"", "<a@x>", Fate::kExamined}, {"", "<b@x>", Fate::kRetried}, {"", "", Fate::kExamined}},
         false,
         {{"", "<a@x>"}}},
        {"hostile values: escapes, tabs, line ends and 8-bit bytes survive the file",
         {},
         {{"%41\t", "<a\tb\r\nmail\tx\t%25@\xE9\xFF>", Fate::kExamined}, {"u-", "%", Fate::kExamined}},
         true,
         {{"%41\t", "<a\tb\r\nmail\tx\t%25@\xE9\xFF>"}, {"u-", "%"}}},
        {"an overlong Message-ID is not kept; its mail stays known by its unique id",
         {},
         {{"u1", "<" + std::string(kLongestRememberedMessageId, 'm') + ">", Fate::kExamined},
          {"", "<" + std::string(kLongestRememberedMessageId, 'n') + ">", Fate::kExamined}},
         true,
         {{"u1", ""}}},
    };
    TemporaryFolder folder;
    ASSERT_TRUE(folder.Created());
    const std::filesystem::path path = folder.Path() / kRememberedMailsFileName;
    for (const AfterRunCase& c : cases) {
        const std::vector<RememberedMail> after = RememberedAfterRun(c.before, c.messages, c.complete);
        EXPECT_EQ(after, c.after) << c.what;

        const RememberedFile written{{"pop.example.org", "user\tname%", "0123abcd"}, after};
        ASSERT_EQ(WriteRememberedMails(path, written), FileError::kNone) << c.what;
        const RememberedReadResult read = ReadRememberedMails(path);
        ASSERT_EQ(read.outcome, RememberedRead::kRead) << c.what;
        EXPECT_EQ(read.file.key, written.key) << c.what;
        EXPECT_EQ(read.file.mails, after) << c.what;
    }
#ifndef _WIN32
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
#endif
    EXPECT_EQ(ReadRememberedMails(folder.Path() / "missing.dat").outcome, RememberedRead::kMissing);
}

TEST(RememberedMails, FingerprintChangesWithEveryFilterAndOnlyWithThem) {
    struct Filters {
        std::string search = "Invoice";
        std::string extensions = "pdf;csv";
        bool inline_ = false;
        std::vector<std::string> allowed{"a@x"};
        std::vector<std::string> blocked{"b@x"};
        std::string Fingerprint() const { return FiltersFingerprint(search, extensions, inline_, allowed, blocked); }
    };
    const std::string base = Filters{}.Fingerprint();
    EXPECT_EQ(Filters{}.Fingerprint(), base);
    const struct {
        const char* what;
        Filters filters;
    } changed[] = {
        {"search string", {.search = "invoice"}},
        {"extensions", {.extensions = "pdf"}},
        {"inline files", {.inline_ = true}},
        {"white list", {.allowed = {"a@x", "c@x"}}},
        {"black list", {.blocked = {}}},
        {"an entry moved between the lists", {.allowed = {"a@x", "b@x"}, .blocked = {}}},
        {"a boundary moved between two values", {.search = "Invoicep", .extensions = "df;csv"}},
    };
    for (const auto& c : changed) EXPECT_NE(c.filters.Fingerprint(), base) << c.what;
}

TEST(RememberedMails, DamagedFileReadsAsDamaged) {
    TemporaryFolder folder;
    ASSERT_TRUE(folder.Created());
    const std::filesystem::path path = folder.Path() / kRememberedMailsFileName;
    const std::string whole =
        FormatRememberedMails({{"pop.example.org", "user", "ff"}, {{"u1", "<a@x>"}, {"", "<b@x>"}, {"u3", ""}}});
    ASSERT_TRUE(ParseRememberedMails(whole).has_value());

    std::vector<std::pair<std::string, std::string>> damaged;
    // Cut short anywhere, even at the end of a line.
    for (std::size_t size = 0; size < whole.size(); ++size) {
        damaged.emplace_back("cut at " + std::to_string(size), whole.substr(0, size));
    }
    damaged.emplace_back("binary garbage", std::string("\x7F" "ELF\x02\x01\x01\0\0\0\n\xFF\xFE", 14) + whole);
    damaged.emplace_back("count that does not match", whole.substr(0, whole.rfind("end\t")) + "end\t2\n");
    std::string badEscape = whole;
    badEscape.replace(badEscape.find("<a@x>"), 1, "%G1");
    damaged.emplace_back("bad escape", badEscape);
    damaged.emplace_back("an entry with neither id", FormatRememberedMails({{"s", "u", "f"}, {{"", ""}}}));
    damaged.emplace_back("an overlong line", FormatRememberedMails({{std::string(5000, 's'), "u", "f"}, {}}));
    damaged.emplace_back("a CR inside a field", "Zendrel examined mails 1\nserver\ts\r\nuser\tu\nfilters\tf\nend\t0\n");
    for (const auto& [what, bytes] : damaged) {
        ASSERT_TRUE(testsupport::WriteBytes(path, bytes)) << what;
        const RememberedReadResult read = ReadRememberedMails(path);
        EXPECT_EQ(read.outcome, RememberedRead::kDamaged) << what;
        EXPECT_TRUE(read.file.mails.empty()) << what;
    }

    // Far past the bound: refused before anything is read (a sparse file costs no disk).
    ASSERT_TRUE(testsupport::WriteBytes(path, whole));
    std::filesystem::resize_file(path, kLongestRememberedFile + 1);
    EXPECT_EQ(ReadRememberedMails(path).outcome, RememberedRead::kDamaged);
}

}  // namespace
}  // namespace zendrel
