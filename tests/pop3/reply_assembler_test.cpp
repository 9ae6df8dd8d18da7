// When a reply is complete, and what text it leaves, fed whole and in pieces.

#include "pop3/reply_assembler.h"

#include <gtest/gtest.h>

#include <string>

namespace zendrel {
namespace {

using namespace std::string_literals;

struct Case {
    const char* what;
    ReplyMode mode;
    std::string input;
    bool complete;
    std::string text;
};

const Case kCases[] = {
    {"status line", ReplyMode::kSingleLine, "+OK 2 320\r\n", true, "+OK 2 320\r\n"},
    {"bytes after the line end belong to no reply", ReplyMode::kSingleLine, "+OK\r\n+OK again\r\n", true, "+OK\r\n"},
    {"bare LF does not end a line", ReplyMode::kSingleLine, "+OK\nstill", false, "+OK\nstill"},
    {"line without its end", ReplyMode::kSingleLine, "+OK almost\r", false, "+OK almost\r"},
    {"single-line mode does not unstuff", ReplyMode::kSingleLine, "+OK\r\n", true, "+OK\r\n"},
    {"empty multi-line list", ReplyMode::kMultiLine, "+OK\r\n.\r\n", true, "+OK\r\n.\r\n"},
    {"multi-line reply", ReplyMode::kMultiLine, "+OK\r\nTOP\r\nUSER\r\n.\r\n", true, "+OK\r\nTOP\r\nUSER\r\n.\r\n"},
    {"multi-line reply without terminator", ReplyMode::kMultiLine, "+OK\r\nTOP\r\n", false, "+OK\r\nTOP\r\n"},
    {"dot line without CR LF in front", ReplyMode::kMultiLine, "+OK\r\nA.\r\nB\r\n", false, "+OK\r\nA.\r\nB\r\n"},
    {"error status ends a multi-line reply", ReplyMode::kMultiLine, "-ERR no such message\r\n", true,
     "-ERR no such message\r\n"},
    {"error status in lower case", ReplyMode::kMultiLine, "-err no\r\nmore", true, "-err no\r\n"},
    {"error status in mixed case", ReplyMode::kMultiLine, "-ErR\r\n", true, "-ErR\r\n"},
    {"other status waits for the terminator", ReplyMode::kMultiLine, "* BAD\r\n", false, "* BAD\r\n"},
    {"stuffed dot line", ReplyMode::kMultiLine, "+OK\r\n..\r\n.\r\n", true, "+OK\r\n.\r\n.\r\n"},
    {"stuffed lines", ReplyMode::kMultiLine, "+OK\r\n..a\r\nb..\r\n...c\r\n.\r\n", true,
     "+OK\r\n.a\r\nb..\r\n..c\r\n.\r\n"},
    {"stuffed line in an unfinished reply", ReplyMode::kMultiLine, "+OK\r\n..x", false, "+OK\r\n.x"},
    {"NUL bytes stay", ReplyMode::kMultiLine, "+OK\r\n\0a\0\r\n.\r\n"s, true, "+OK\r\n\0a\0\r\n.\r\n"s},
    {"bytes after the terminator belong to no reply", ReplyMode::kMultiLine, "+OK\r\nx\r\n.\r\n+OK\r\n", true,
     "+OK\r\nx\r\n.\r\n"},
};

void ExpectAssembles(const Case& c, std::size_t pieceSize) {
    SCOPED_TRACE(std::string(c.what) + ", pieces of " + std::to_string(pieceSize));
    ReplyAssembler assembler(c.mode);
    bool complete = false;
    for (std::size_t at = 0; at < c.input.size() && !complete; at += pieceSize) {
        complete = assembler.Append(std::string_view(c.input).substr(at, pieceSize));
    }
    EXPECT_EQ(complete, c.complete);
    EXPECT_EQ(assembler.IsComplete(), c.complete);
    EXPECT_EQ(assembler.TakeText(), c.text);
}

TEST(ReplyAssembler, CompletesAtTheProtocolsEndFedWhole) {
    for (const Case& c : kCases) ExpectAssembles(c, c.input.size());
}

TEST(ReplyAssembler, CompletesAtTheProtocolsEndFedInPieces) {
    for (const Case& c : kCases) {
        for (std::size_t pieceSize = 1; pieceSize < c.input.size(); ++pieceSize) ExpectAssembles(c, pieceSize);
    }
}

TEST(ReplyAssembler, TerminatorSplitAtEveryPosition) {
    const std::string reply = "+OK\r\nline\r\n.\r\n";
    for (std::size_t cut = 1; cut < reply.size(); ++cut) {
        SCOPED_TRACE(cut);
        ReplyAssembler assembler(ReplyMode::kMultiLine);
        EXPECT_FALSE(assembler.Append(std::string_view(reply).substr(0, cut)));
        EXPECT_TRUE(assembler.Append(std::string_view(reply).substr(cut)));
        EXPECT_EQ(assembler.TakeText(), reply);
    }
}

TEST(ReplyAssembler, TakeTextLeavesItEmptyForTheNextReply) {
    ReplyAssembler assembler(ReplyMode::kSingleLine);
    EXPECT_TRUE(assembler.Append("+OK one\r\n"));
    EXPECT_EQ(assembler.TakeText(), "+OK one\r\n");
    EXPECT_FALSE(assembler.IsComplete());
    EXPECT_EQ(assembler.size(), 0u);
    EXPECT_TRUE(assembler.Append("+OK two\r\n"));
    EXPECT_EQ(assembler.TakeText(), "+OK two\r\n");
}

TEST(ReplyAssembler, LargeReplyInManyPieces) {
    std::string body;
    for (int line = 0; line < 20000; ++line) body += (line % 7 == 0 ? ".." : "") + std::to_string(line) + "\r\n";
    const std::string reply = "+OK\r\n" + body + ".\r\n";
    ReplyAssembler assembler(ReplyMode::kMultiLine);
    bool complete = false;
    for (std::size_t at = 0; at < reply.size(); at += 1000) complete = assembler.Append(reply.substr(at, 1000));
    ASSERT_TRUE(complete);
    std::string expected = "+OK\r\n";
    for (int line = 0; line < 20000; ++line) expected += (line % 7 == 0 ? "." : "") + std::to_string(line) + "\r\n";
    EXPECT_EQ(assembler.TakeText(), expected + ".\r\n");
}

TEST(ReplyAssembler, LeavesTheBytesAfterItsEndForTheNextReply) {
    const std::string big = "+OK\r\n" + std::string(300000, 'x') + "\r\n.\r\n";
    const struct {
        ReplyMode mode;
        std::string reply;
        std::string next;
    } cases[] = {
        {ReplyMode::kSingleLine, "+OK 1 2\r\n", "+OK next\r\n"},
        {ReplyMode::kMultiLine, "+OK\r\nSubject: a\r\n.\r\n", "+OK\r\nb\r\n.\r\n"},
        {ReplyMode::kMultiLine, "-ERR no such message\r\n", "+OK\r\n.\r\n"},
        {ReplyMode::kMultiLine, big, "+OK\r\n.\r\n"},  // ends in a later slice of one big piece
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.substr(0, 20));
        const std::string input = c.reply + c.next;
        ReplyAssembler assembler(c.mode);
        std::size_t used = 0;
        ASSERT_TRUE(assembler.Append(input, used));
        EXPECT_EQ(input.substr(used), c.next);
        EXPECT_EQ(assembler.TakeText(), c.reply);
        // Fed in two pieces split inside the reply, only the second piece has bytes left over.
        ASSERT_FALSE(assembler.Append(std::string_view(input).substr(0, 3), used));
        EXPECT_EQ(used, 3u);
        ASSERT_TRUE(assembler.Append(std::string_view(input).substr(3), used));
        EXPECT_EQ(input.substr(3 + used), c.next);
    }
}

// A reply past its limit: nothing of it is kept, its rest is only looked through for its end, and the bytes after
// that end belong to the next reply, whatever pieces it comes in.
struct LimitCase {
    const char* what;
    ReplyMode mode;
    std::uint64_t bodyLimit;
    std::string reply;
    bool complete;
    bool tooLarge;
};

const std::string kLongStatus = "+OK " + std::string(kStatusLineLimit, 's') + "\r\n";

const LimitCase kLimitCases[] = {
    {"body exactly at the limit", ReplyMode::kMultiLine, 5, "+OK\r\nabc\r\n.\r\n", true, false},
    {"body one byte over", ReplyMode::kMultiLine, 4, "+OK\r\nabc\r\n.\r\n", true, true},
    {"stuffed dots do not count", ReplyMode::kMultiLine, 7, "+OK\r\n..\r\n..x\r\n.\r\n", true, false},
    {"unstuffed bytes do", ReplyMode::kMultiLine, 6, "+OK\r\n..\r\n..x\r\n.\r\n", true, true},
    {"over the limit long before the end", ReplyMode::kMultiLine, 10, "+OK\r\n" + std::string(5000, 'x') + "\r\n.\r\n",
     true, true},
    {"over the limit and no end yet", ReplyMode::kMultiLine, 10, "+OK\r\n" + std::string(5000, 'x') + "\r\n.", false,
     true},
    {"end right after the status line of an empty list", ReplyMode::kMultiLine, 0, "+OK\r\n.\r\n", true, false},
    {"error status has no body", ReplyMode::kMultiLine, 0, "-ERR no\r\n", true, false},
    {"status line at its limit", ReplyMode::kSingleLine, 0, "+OK" + std::string(kStatusLineLimit - 5, 's') + "\r\n",
     true, false},
    {"status line over its limit", ReplyMode::kSingleLine, 0, kLongStatus, true, true},
    {"status line that never ends", ReplyMode::kSingleLine, 0, kLongStatus.substr(0, kLongStatus.size() - 2), false,
     true},
    {"long status line of a list", ReplyMode::kMultiLine, 100, kLongStatus + "a\r\n.\r\n", true, true},
    {"long error status of a list ends at its line end", ReplyMode::kMultiLine, 100,
     "-ERR" + kLongStatus.substr(3), true, true},
};

void ExpectLimited(const LimitCase& c, std::size_t pieceSize) {
    SCOPED_TRACE(std::string(c.what) + ", pieces of " + std::to_string(pieceSize));
    const std::string next = "+OK next\r\n";
    // A reply that never ends must not be ended by the next one's line end.
    const std::string input = c.complete ? c.reply + next : c.reply;
    ReplyAssembler assembler(c.mode, c.bodyLimit);
    bool complete = false;
    std::size_t at = 0;
    std::size_t used = 0;
    for (; at < c.reply.size() && !complete; at += used) {
        // The last piece of the reply may carry the start of the next one.
        complete = assembler.Append(std::string_view(input).substr(at, pieceSize), used);
    }
    EXPECT_EQ(complete, c.complete);
    EXPECT_EQ(assembler.TooLarge(), c.tooLarge);
    if (c.complete) {
        EXPECT_EQ(input.substr(at), next) << "the bytes after the end start the next reply";
    }
    if (c.tooLarge) {
        EXPECT_EQ(assembler.size(), 0u) << "nothing of a reply past its limit is kept";
    }
    const std::string text = assembler.TakeText();
    EXPECT_EQ(text.empty(), c.tooLarge || !c.complete);
    EXPECT_FALSE(assembler.TooLarge()) << "the next reply starts afresh";
}

TEST(ReplyAssembler, ReplyPastItsLimitKeepsNothingAndStillEndsAtItsEnd) {
    for (const LimitCase& c : kLimitCases) {
        for (const std::size_t pieceSize : {c.reply.size() + 20, std::size_t{1}, std::size_t{2}, std::size_t{7},
                                            std::size_t{4096}}) {
            ExpectLimited(c, pieceSize);
        }
    }
}

TEST(ReplyAssembler, DiscardedBodyEndsAtItsTerminatorAndKeepsNothing) {
    const std::string reply = "+OK\r\n..\r\nline\r\n.\r\n";
    for (std::size_t cut = 0; cut <= reply.size(); ++cut) {
        SCOPED_TRACE(cut);
        ReplyAssembler assembler(ReplyMode::kMultiLine);
        EXPECT_FALSE(assembler.Append(std::string_view(reply).substr(0, cut)) && cut < reply.size());
        assembler.DiscardBody();
        if (cut < reply.size()) {
            EXPECT_TRUE(assembler.Append(std::string_view(reply).substr(cut)));
        }
        EXPECT_TRUE(assembler.IsComplete());
        EXPECT_FALSE(assembler.TooLarge());
        EXPECT_EQ(assembler.TakeText(), "");
    }
}

TEST(ReplyLimits, MessageLimitIsTheListedSizeWithATolerance) {
    EXPECT_EQ(ListedMessageLimit(0), 65536u);
    EXPECT_EQ(ListedMessageLimit(1000000), 1000000u + 100000u + 65536u);
    EXPECT_EQ(ListedMessageLimit(~std::uint64_t{0}), ListedMessageLimit(kUnlistedMessageLimit)) << "no overflow";
}

TEST(UndoDotStuffing, RemovesOneDotAtEachLineStart) {
    struct Stuffed {
        std::string in, out;
    };
    const Stuffed cases[] = {
        {"", ""},
        {"+OK\r\n", "+OK\r\n"},
        {"+OK\r\n..\r\n", "+OK\r\n.\r\n"},
        {"+OK\r\n..a\r\n..b", "+OK\r\n.a\r\n.b"},
        {"+OK\r\n....\r\n", "+OK\r\n...\r\n"},
        {"+OK\r\na..b\r\n", "+OK\r\na..b\r\n"},
        {"+OK\n..lf only\r\n", "+OK\n..lf only\r\n"},
        {"+OK\r\n..\r\n..\r\n..", "+OK\r\n.\r\n.\r\n."},
    };
    for (const Stuffed& c : cases) {
        std::string text = c.in;
        UndoDotStuffing(text);
        EXPECT_EQ(text, c.out) << c.in;
    }
}

}  // namespace
}  // namespace zendrel
