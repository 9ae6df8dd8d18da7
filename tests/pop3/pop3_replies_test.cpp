// The parts of replies that the login reads.

#include "pop3/pop3_replies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zendrel {
namespace {

TEST(SplitStatus, ClassifiesByTheStatusIndicatorInAnyLetterCase) {
    struct Case {
        std::string reply;
        bool positive;
        std::string text;
    };
    const Case cases[] = {
        {"+OK 2 320\r\n", true, " 2 320\r\n"},  {"+ok\r\n", true, "\r\n"},   {"+Ok", true, ""},
        {"-ERR no\r\n", false, " no\r\n"},      {"-err", false, ""},         {"-Er", false, "-Er"},
        {"* OK IMAP\r\n", false, "* OK IMAP\r\n"}, {"", false, ""},          {"+O", false, "+O"},
    };
    for (const Case& c : cases) {
        const StatusReply status = SplitStatus(c.reply);
        EXPECT_EQ(status.positive, c.positive) << c.reply;
        EXPECT_EQ(status.text, c.text) << c.reply;
    }
}

TEST(ParseCapabilities, JoinsTheLinesAfterTheStatusLineUpperCased) {
    struct Case {
        std::string reply;
        std::string capabilities;
    };
    const Case cases[] = {
        {"+OK\r\nTOP\r\nUSER\r\nSASL PLAIN\r\n.\r\n", ";TOP;USER;SASL PLAIN;"},
        {"+OK Capability list follows\r\ntop\r\nuidl\r\n.\r\n", ";TOP;UIDL;"},
        {"+OK\r\n.\r\n", ""},
        {"-ERR unknown command\r\n", ""},
        {"", ""},
        {"+OK\r\nTOP\r\n\r\nUSER\r\n.\r\n", ";TOP;"},      // an empty line ends the list
        {"+OK\r\nTOP\r\nUSER", ";TOP;USER;"},             // cut off by a closed connection
        {"+OK\nAPOP\nUSER\n.\n", ";APOP;USER;"},          // bare LFs
        {"+OK\r\nIMPLEMENTATION x\ry\r\n.\r\n", ";IMPLEMENTATION XY;"},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseCapabilities(c.reply), c.capabilities) << c.reply;
}

TEST(OffersCapability, MatchesWholeLinesOnlyAndEverythingWhenUnknown) {
    EXPECT_TRUE(OffersCapability(";TOP;USER;SASL PLAIN;", "TOP"));
    EXPECT_TRUE(OffersCapability(";TOP;USER;SASL PLAIN;", "USER"));
    EXPECT_FALSE(OffersCapability(";TOP;USER;SASL PLAIN;", "APOP"));
    EXPECT_FALSE(OffersCapability(";TOP;USER;SASL PLAIN;", "SASL"));
    EXPECT_FALSE(OffersCapability(";TOP-X;", "TOP"));
    EXPECT_TRUE(OffersCapability("", "APOP"));
}

TEST(FindApopTimestamp, TakesFirstOpeningBracketThroughTheNextClosingOne) {
    EXPECT_EQ(FindApopTimestamp("+OK ready <123.456>\r\n"), "<123.456>");
    EXPECT_EQ(FindApopTimestamp("+OK > x <a@b> <c>\r\n"), "<a@b>");
    EXPECT_EQ(FindApopTimestamp("+OK <>"), "<>");
    EXPECT_FALSE(FindApopTimestamp("+OK ready\r\n").has_value());
    EXPECT_FALSE(FindApopTimestamp("+OK <unclosed\r\n").has_value());
    EXPECT_FALSE(FindApopTimestamp("+OK closed> only\r\n").has_value());
}

TEST(ParseMessageCount, ReadsTheDigitsAtTheStartOfTheSecondField) {
    struct Case {
        std::string reply;
        std::int32_t count;
    };
    const Case cases[] = {
        {"+OK 5 120\r\n", 5},  {"+OK 0 0\r\n", 0},     {"+OK 17\r\n", 17},       {"+OK 12abc 1\r\n", 12},
        {"+OK\r\n", 0},        {"+OK  5 120\r\n", 0},  {"+OK x5 1\r\n", 0},      {"+OK -3 1\r\n", 0},
        {"+OK 99999999999 1\r\n", 2147483647},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseMessageCount(c.reply), c.count) << c.reply;
}

}  // namespace
TEST(ParseUniqueIds, KeepsOnlyIdsThatTellOneMessageApart) {
    struct Case {
        const char* what;
        std::string reply;
        std::vector<std::string> ids;  // from message 1
    };
    const Case cases[] = {
        {"a listing", "+OK\r\n1 whqtswO00WBw418f9t5JxYwZ\r\n2 QhdPYR:00WBw1Ph7x7\r\n.\r\n",
         {"whqtswO00WBw418f9t5JxYwZ", "QhdPYR:00WBw1Ph7x7"}},
        {"out of order, one missing", "+OK\r\n3 c\r\n1 a\r\n.\r\n", {"a", "", "c"}},
        {"a number outside the mailbox", "+OK\r\n0 z\r\n4 y\r\n2 b\r\n.\r\n", {"", "b", ""}},
        {"an id two messages share", "+OK\r\n1 same\r\n2 same\r\n3 c\r\n.\r\n", {"", "", "c"}},
        {"a message listed twice", "+OK\r\n1 a\r\n1 b\r\n2 c\r\n.\r\n", {"", "c", ""}},
        {"blank, control character, empty, too long",
         "+OK\r\n1 a b\r\n2 a\x01\r\n3 \r\n1 " + std::string(71, 'x') + "\r\n.\r\n", {"", "", ""}},
        {"the longest id", "+OK\r\n2 " + std::string(70, 'x') + "\r\n.\r\n", {"", std::string(70, 'x'), ""}},
        {"no number", "+OK\r\nx a\r\n 2 b\r\n.\r\n", {"", "", ""}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> expected{""};
        expected.insert(expected.end(), c.ids.begin(), c.ids.end());
        expected.resize(4);
        EXPECT_EQ(ParseUniqueIds(c.reply, 3), expected) << c.what;
    }
}

}  // namespace zendrel
