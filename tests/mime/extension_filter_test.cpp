#include "mime/extension_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace zendrel {
namespace {

struct PreparationCase {
    std::string typed;
    std::string prepared;
};

TEST(PrepareExtensionList, RemovesDotsLowerCasesAndSeparatesWithSemicolons) {
    const PreparationCase cases[] = {
        {"", ""},
        {"csv", "csv"},
        {"CSV,PDF", "csv;pdf"},
        {".csv,.Pdf", "csv;pdf"},
        {"csv, pdf", "csv;pdf"},  // blanks around a field would keep it from ever matching
        {" CSV ;\t.pdf\t, txt", "csv;pdf;txt"},
        {"csv, ", "csv;"},  // a field of blanks is an empty field: names without an extension
        {"my doc", "my doc"},  // blanks inside a field stay
        {"tar.gz", "targz"},
        {"csv,", "csv;"},
        {",", ";"},
        {"...", ""},
        {"csv;pdf", "csv;pdf"},
        {"\xC4XT,\xD6L", "\xE4xt;\xF6l"},  // Windows-1252 upper-case letters become lower case
    };
    for (const PreparationCase& c : cases) {
        EXPECT_EQ(PrepareExtensionList(c.typed), c.prepared) << "typed: '" << c.typed << "'";
    }
}

struct ExtensionCase {
    std::string name;
    std::string extension;
};

TEST(FileNameExtension, IsTheTextAfterTheLastDotOfTheLastPathSegment) {
    const ExtensionCase cases[] = {
        {"a.pdf", "pdf"},
        {"A.CSV", "CSV"},
        {"c", ""},
        {"", ""},
        {"archive.tar.gz", "gz"},
        {"name.", ""},
        {".profile", "profile"},
        {"folder.v2/report", ""},       // the dot belongs to a folder, not to the name
        {"folder.v2\\report", ""},
        {"folder.v2/report.txt", "txt"},
        {"a.b/c.d\\e.f", "f"},
        {"dir\\sub.x/", ""},
        {"report.pdf\"; size=12", "pdf"},  // a quote after the dot ends the extension
        {"report.\"pdf\"", ""},
        {"a\"b.csv", "csv"},             // a quote before the dot does not
        {std::string("na\0me.c\0sv", 10), std::string("c\0sv", 4)},  // a NUL is an ordinary byte
    };
    for (const ExtensionCase& c : cases) {
        EXPECT_EQ(FileNameExtension(c.name), c.extension) << "name: '" << c.name << "'";
    }
}

struct AllowedCase {
    std::string name;
    std::string preparedList;
    bool allowed;
};

TEST(IsExtensionAllowed, MatchesOneFieldOfThePreparedListExactly) {
    const AllowedCase cases[] = {
        // An empty list lets everything through, even names without an extension or without a name.
        {"A.CSV", "", true},
        {"c", "", true},
        {"", "", true},
        // 'csv;pdf': only the upper-case CSV of A.CSV, b.txt and c.
        {"A.CSV", "csv;pdf", true},
        {"b.txt", "csv;pdf", false},
        {"c", "csv;pdf", false},
        {"scan.PDF", "csv;pdf", true},
        // 'csv;': the empty field lets names without an extension through as well.
        {"A.CSV", "csv;", true},
        {"c", "csv;", true},
        {"", "csv;", true},
        {"b.txt", "csv;", false},
        {"c", ";csv", true},
        {"c", "csv;;pdf", true},
        // Whole fields only: no prefixes, suffixes or blanks.
        {"a.cs", "csv", false},
        {"a.csvx", "csv", false},
        {"a.pdf", "csv; pdf", false},
        {"a.pdf", "pdf ", false},
        {"archive.tar.gz", "gz", true},
        {"archive.tar.gz", "tar", false},
        {"archive.tar.gz", "targz", false},
        {"name.", ";", true},
        // Dots of folders do not count; a quote ends the extension.
        {"v1.2/report", "2/report;pdf", false},
        {"v1.2/report", ";pdf", true},
        {"C:\\exports.d\\LIST.CSV", "csv", true},
        {"report.PDF\"x", "pdf", true},
        // Lower-casing follows the Windows-1252 table.
        {"Stra\xDF" "e.\xC4" "X", "\xE4x", true},
    };
    for (const AllowedCase& c : cases) {
        EXPECT_EQ(IsExtensionAllowed(c.name, c.preparedList), c.allowed)
            << "name: '" << c.name << "' list: '" << c.preparedList << "'";
    }
}

TEST(IsExtensionAllowed, WorksOnTheListAsTheRunPreparesIt) {
    const std::string list = PrepareExtensionList(".CSV,Pdf");
    EXPECT_TRUE(IsExtensionAllowed("A.CSV", list));
    EXPECT_TRUE(IsExtensionAllowed("x.pdf", list));
    EXPECT_FALSE(IsExtensionAllowed("b.txt", list));
    EXPECT_FALSE(IsExtensionAllowed("c", list));
}

}  // namespace
}  // namespace zendrel
