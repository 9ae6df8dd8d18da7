#include "app/console_text.h"

#include <gtest/gtest.h>

namespace zendrel {
namespace {

TEST(ConsoleText, ShowsWindows1252NamesAsUtf8) {
    EXPECT_EQ(ConsoleText("File 'Gr\xFC\xDF" "e \x80.pdf' saved!"), "File 'Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC.pdf' saved!");
}

}  // namespace
}  // namespace zendrel
