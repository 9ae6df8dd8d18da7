#include "job/placeholders.h"

#include <gtest/gtest.h>

#include <string>

namespace zendrel {
namespace {

struct FillCase {
    std::string text;
    std::string placeholder;
    std::string value;
    std::string filled;
};

TEST(FillPlaceholder, ReplacesEveryExactOccurrence) {
    const FillCase cases[] = {
        {"File '{FILE}' saved!", "{FILE}", "A.CSV", "File 'A.CSV' saved!"},
        {"Successfully logged into account! ({COUNT} messages).", "{COUNT}", "0",
         "Successfully logged into account! (0 messages)."},
        {"{FILE}{FILE}", "{FILE}", "x", "xx"},
        {"{FILE} and {file}", "{FILE}", "x", "x and {file}"},  // case-sensitive
        {"no placeholder", "{FILE}", "x", "no placeholder"},
        {"File '{FILE}' saved!", "{FILE}", "", "File '' saved!"},
        {"File '{FILE}' saved!", "{FILE}", "{FILE}.txt", "File '{FILE}.txt' saved!"},  // the value is not searched again
        {"{FIL{FILE}E}", "{FILE}", "-", "{FIL-E}"},
        {"", "{FILE}", "x", ""},
        {"text", "", "x", "text"},
    };
    for (const FillCase& c : cases) {
        EXPECT_EQ(FillPlaceholder(c.text, c.placeholder, c.value), c.filled) << "text: '" << c.text << "'";
    }
}

}  // namespace
}  // namespace zendrel
