// The parts of replies that the login reads.

#include "pop3/pop3_replies.h"

#include <gtest/gtest.h>

#include <string>

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
}  // namespace zendrel
