#include "mime/saved_names.h"

#include <gtest/gtest.h>

#include <string>

namespace zendrel {
namespace {

MessagePart Named(const std::string& name) {
    MessagePart part;
    part.header = "--b\r\nContent-Disposition: attachment; filename=\"" + name + "\"";
    part.rawHeader = part.header;
    return part;
}

TEST(SaveNameOf, IsTheSafeNameThatNeverBeginsWithADot) {
    const struct {
        std::string given;
        std::string saved;
    } cases[] = {
        {"invoice.pdf", "invoice.pdf"},
        {"../../evil.csv", "_._.._evil.csv"},  // the separators first become "_", then the hiding dot
        {".htaccess", "_htaccess"},
        {"a.b.", "a.b"},
        {"..", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(SaveNameOf(Named(c.given)), c.saved) << c.given;
}

TEST(SafeFolderName, NeverNamesAnotherPlace) {
    const struct {
        std::string value;
        std::string folder;
    } cases[] = {
        {"jo@example.org", "jo@example.org"},
        {"..", "_"},
        {".", "_"},
        {"", "_"},
        {"../../etc", "_._.._etc"},
        {"a/b\\c:d", "a_b_c_d"},
        {"con", "_con"},
        {"tab\there", "tab_here"},
    };
    for (const auto& c : cases) EXPECT_EQ(SafeFolderName(c.value), c.folder) << c.value;
}

TEST(NumberedName, PutsTheNumberBeforeTheLastExtension) {
    const std::string longStem(251, 's');
    const struct {
        std::string name;
        int n;
        std::string numbered;
    } cases[] = {
        {"invoice.pdf", 2, "invoice (2).pdf"},
        {"invoice.pdf", 17, "invoice (17).pdf"},
        {"backup.tar.gz", 2, "backup.tar (2).gz"},
        {"README", 3, "README (3)"},
        {"_hidden", 2, "_hidden (2)"},
        {".profile", 2, ".profile (2)"},  // a leading dot opens no extension
        // At the limit of 255 bytes the stem gives way, never the number or the extension.
        {longStem + ".pdf", 2, std::string(247, 's') + " (2).pdf"},
        // A UTF-8 character is not cut in two: "ä" is two bytes.
        {std::string(246, 's') + "\xC3\xA4" + "x.pdf", 2, std::string(246, 's') + " (2).pdf"},
    };
    for (const auto& c : cases) {
        const std::string numbered = NumberedName(c.name, c.n);
        EXPECT_EQ(numbered, c.numbered) << c.name;
        EXPECT_LE(numbered.size(), 255u) << c.name;
    }
}

}  // namespace
}  // namespace zendrel
