#include "app/message_file.h"

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

namespace zendrel {
namespace {

RetrievedMessage FromFileBytes(const std::string& fileBytes) {
    return RetrievedMessage(std::string(kRetrievedMessageSpareFront, '?') + fileBytes);
}

TEST(NormaliseLineEnds, MakesEveryLineEndCrLf) {
    struct Case {
        std::string text;
        std::string normalised;
    };
    const Case cases[] = {
        {"", ""},
        {"no line end", "no line end"},
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\nb\n", "a\r\nb\r\n"},
        {"\n", "\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"a\r\nb\nc\r\n\n", "a\r\nb\r\nc\r\n\r\n"},
        {"\r\r\n", "\r\r\n"},
        {"a\rb", "a\rb"},  // a lone CR is no line end of ours to change
        {std::string("\0\n\0", 3), std::string("\0\r\n\0", 4)},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        NormaliseLineEnds(text, 0);
        EXPECT_EQ(text, c.normalised);
    }
}

TEST(NormaliseLineEnds, LeavesTheTextBeforeTheStartAlone) {
    std::string text = "\n\nx\ny";
    NormaliseLineEnds(text, 2);
    EXPECT_EQ(text, "\n\nx\r\ny");
    // The byte before the start does not count as a CR for a LF at the start.
    text = "\r\ny";
    NormaliseLineEnds(text, 1);
    EXPECT_EQ(text, "\r\r\ny");
}

TEST(NormaliseLineEnds, DoesNotCopyATextThatIsAlreadyCrLf) {
    std::string text(100000, 'x');
    for (std::size_t i = 78; i < text.size(); i += 80) {
        text[i] = '\r';
        text[i + 1] = '\n';
    }
    const char* before = text.data();
    const std::string copy = text;
    NormaliseLineEnds(text, 0);
    EXPECT_EQ(text.data(), before);
    EXPECT_EQ(text, copy);
}

TEST(RetrievedMessage, BeginsLikeARetrievalWithCrLfBeforeTheFirstField) {
    struct Case {
        std::string fileBytes;
        std::string text;
    };
    const Case cases[] = {
        {"Subject: x\r\n\r\nbody\r\n", "\r\nSubject: x\r\n\r\nbody\r\n"},
        {"Subject: x\n\nbody\n", "\r\nSubject: x\r\n\r\nbody\r\n"},
        {"From a@b.example Mon Mar  4 10:00:00 2024\nSubject: x\n\nbody\n", "\r\nSubject: x\r\n\r\nbody\r\n"},
        {"From a@b.example Mon Mar  4 10:00:00 2024\r\nSubject: x\r\n\r\nb", "\r\nSubject: x\r\n\r\nb"},
        {"From a@b.example", ""},
        {"From: a@b.example\n\nbody", "\r\nFrom: a@b.example\r\n\r\nbody"},  // a header field, not an mbox line
        {"from a@b.example\nX: y\n", "\r\nfrom a@b.example\r\nX: y\r\n"},  // the separator is case-sensitive
        {"", "\r\n"},
        {"\n", "\r\n\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FromFileBytes(c.fileBytes).Text(), c.text) << "file: '" << c.fileBytes << "'";
    }
}

TEST(RetrievedMessage, KeepsACrLfFileInItsOwnBuffer) {
    std::string buffer = "??Subject: big\r\n\r\n" + std::string(100000, 'A') + "\r\n";
    const char* bytes = buffer.data();
    const RetrievedMessage message(std::move(buffer));
    EXPECT_EQ(message.Text().data(), bytes);
    EXPECT_EQ(message.Text().substr(0, 16), "\r\nSubject: big\r\n");
}

TEST(ReadMessageFile, ReadsTheWholeFile) {
    const testsupport::TemporaryFolder folder;
    ASSERT_TRUE(folder.Created());
    const std::string bytes = "From x\nSubject: s\n\n" + std::string("\0\xFF\n", 3);
    ASSERT_TRUE(testsupport::WriteBytes(folder.Path() / "m.eml", bytes));
    RetrievedMessage message;
    std::string error;
    ASSERT_TRUE(ReadMessageFile((folder.Path() / "m.eml").string(), message, error)) << error;
    EXPECT_EQ(message.Text(), std::string("\r\nSubject: s\r\n\r\n\0\xFF\r\n", 20));
}

TEST(ReadMessageFile, ReportsWhyAFileCannotBeRead) {
    const testsupport::TemporaryFolder folder;
    ASSERT_TRUE(folder.Created());
    for (const std::filesystem::path& path : {folder.Path() / "missing.eml", folder.Path()}) {
        RetrievedMessage message;
        std::string error;
        EXPECT_FALSE(ReadMessageFile(path.string(), message, error)) << path;
        EXPECT_FALSE(error.empty()) << path;
    }
}

}  // namespace
}  // namespace zendrel
