#include "mime/header_field.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace zendrel {
namespace {

TEST(GetHeaderField, Table) {
    struct Case {
        std::string header, name, value;
    };
    const std::string block = "+OK\r\nSubject: Hallo\r\n Welt\r\nFrom: a";
    const Case cases[] = {
        {block, "SUBJECT", "Hallo\r\n Welt"},       // continuation stays inside, not unfolded
        {block, "from", "a"},                         // value runs to the end of the block
        {block, "Subj", ""},                          // a prefix of a name is not the field
        {"Subject: Hallo\r\nFrom: a", "subject", ""},  // the first line is never a field
        {"x\r\nA:\t value\r\n\tmore\r\nB: 1", "a", "\t value\r\n\tmore"},  // a leading tab is kept
        {"x\r\nA:   v  \r\nB: 1", "a", "v  "},        // only leading blanks go
        {"x\r\nA:\xA0v\r\n\xA0w\r\nB: 1", "a", "\xA0v\r\n\xA0w"},  // no-break space continues a line
        {"x\r\nA : v", "a", ""},                      // no white space before the colon
        {"x\r\nA: first\r\nA: second", "a", "first"},  // the first occurrence counts
        {"x\r\nA: v\r\n\r\nB: body", "b", "body"},    // the empty line does not end the search
        {"x\r\nA: v\r\n", "a", "v"},                  // a CR LF at the very end ends the value
        {"x\r\nA:", "a", ""},
        {"x\r\n\xC4rger: v", "\xE4rger", "v"},        // Windows-1252 letters match in any case
        {"x\r\nA: a\0b\r\nB: c"s, "a", "a\0b"s},      // NUL is an ordinary byte
        {"x\r\nXA: 1\r\nA: 2", "a", "2"},             // the name must follow the line break directly
    };
    for (const auto& c : cases) EXPECT_EQ(GetHeaderField(c.header, c.name), c.value) << c.header << " / " << c.name;
}

}  // namespace
}  // namespace zendrel
