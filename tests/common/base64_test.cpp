#include "common/base64.h"

#include <gtest/gtest.h>

#include <random>
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

TEST(Base64Value, EveryByte) {
    const std::string standard = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string urlSafe = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        std::size_t expected = standard.find(c);
        if (expected == std::string::npos) expected = urlSafe.find(c);
        if (expected == std::string::npos) expected = 0;
        EXPECT_EQ(Base64Value(c), expected) << b;
    }
}

TEST(DecodeBase64Group, BytesAndPadding) {
    struct Case {
        std::string group, bytes;
    };
    const Case cases[] = {
        {"QUJD", "ABC"},
        {"QUI=", "AB"},
        {"QQ==", "A"},
        {"QQ=x", "A"},           // "=" third: one byte, whatever the fourth is
        {"=QUJ", "\x01\x05\x09"}, // "=" first or second is an ordinary character of value 0
        {"Q=UJ", "\x40\x05\x09"},
        {"QU\tD", "A@\x03"},     // white space inside a group counts as 0
        {"////", "\xFF\xFF\xFF"},
    };
    for (const auto& c : cases) {
        unsigned char out[3] = {0xEE, 0xEE, 0xEE};
        const std::size_t count = DecodeBase64Group(c.group.data(), out);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), count), c.bytes) << c.group;
        for (std::size_t i = count; i < 3; ++i) EXPECT_EQ(out[i], 0xEE) << c.group;  // nothing beyond the count
    }
}

TEST(EncodeBase64, Rfc4648Vectors) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeBase64(c.in), c.out) << c.in;
}

TEST(EncodeBase64, StandardAlphabetForTheLastTwoValues) {
    // the program's decoder reads either alphabet, but what it writes must be the standard one
    EXPECT_EQ(EncodeBase64("\xFB\xFF\xBF"), "+/+/");
    EXPECT_EQ(EncodeBase64("\0\0\0"s), "AAAA");
    EXPECT_EQ(EncodeBase64("\xFF"), "/w==");
    EXPECT_EQ(EncodeBase64("\xFF\xFF"), "//8=");
}

TEST(EncodeBase64, RoundTripThroughTheDecoder) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t length = 0; length < 200; ++length) {
        std::string bytes(length, '\0');
        for (char& c : bytes) c = static_cast<char>(byte(random));
        const std::string text = EncodeBase64(bytes);
        ASSERT_EQ(text.size(), (length + 2) / 3 * 4) << length;
        EXPECT_EQ(text.find_first_of("\r\n-_"), std::string::npos) << length;  // one line, standard alphabet
        EXPECT_EQ(DecodeBase64(text), bytes) << length;
    }
}

}  // namespace
}  // namespace zendrel
