#include "common/base64.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace zendrel {
namespace {

TEST(DecodeBase64, Table) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"QUJD", "ABC"},
        {"QUJDRA==", "ABCD"},
        {"QUJDREU=", "ABCDE"},
        {"QQ=x", "A"},                    // "=" as third character gives one byte whatever follows
        {"\r\nQUJD\tRA==", "ABCD"},       // tabs, CRs and LFs before a group are skipped
        {"QU\nJ", "A@\t"},                // inside a group they count as 0
        {"-_-_", "\xFB\xFF\xBF"},         // both alphabets give the same bytes
        {"+/+/", "\xFB\xFF\xBF"},
        {"AA==", "\0"s},                  // a NUL is an ordinary byte
        {"", ""},
        {"QUJDR", ""},                    // a tail of one to three characters spoils everything
        {"QUJD\t", ""},                   // so does trailing white space after the last group
        {"QUJD\r\n", ""},
        {"QUJ", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeBase64(c.in), c.out) << c.in;
}

TEST(DecodeBase64, BlanksAreNeverSkipped) {
    // "QU J" is one group (blank = 0), "D" remains alone: the whole text fails
    EXPECT_EQ(DecodeBase64("QU JD"), "");
    // "QU J" + "DAAA": both groups decode, the blank as value 0
    EXPECT_EQ(DecodeBase64("QU JDAAA").size(), 6u);
}

TEST(DecodeBase64, PaddedGroupEndsTheData) {
    EXPECT_EQ(DecodeBase64("QQ==QUJD"), "A");
}

}  // namespace
}  // namespace zendrel
