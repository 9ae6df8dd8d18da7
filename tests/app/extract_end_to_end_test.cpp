// Runs the built zendrel on real message files and compares what it saved, printed and returned.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "corpus.h"
#include "program_runner.h"
#include "test_files.h"

namespace zendrel::testsupport {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Arguments = std::vector<std::string>;

const fs::path kProgram = ZENDREL_PROGRAM;
constexpr const char* kExtractUsage =
    "zendrel --extract [--to FOLDER] [--extensions LIST] [--inline] [--replace] FILE...";

bool IsTimeStamp(std::string_view text) {
    const auto twoDigits = [&](std::size_t at, int largest) {
        return std::isdigit(static_cast<unsigned char>(text[at])) && std::isdigit(static_cast<unsigned char>(text[at + 1])) &&
               (text[at] - '0') * 10 + (text[at + 1] - '0') <= largest;
    };
    return text.size() == 8 && twoDigits(0, 23) && text[2] == ':' && twoDigits(3, 59) && text[5] == ':' &&
           twoDigits(6, 60);
}

// The names of "hh:mm:ss File '{FILE}' saved!" lines; an empty name for a line of any other shape.
std::vector<std::string> SavedNames(const ProgramResult& result) {
    constexpr std::string_view kBefore = " File '";
    constexpr std::string_view kAfter = "' saved!";
    std::vector<std::string> names;
    for (const std::string& line : result.OutLines()) {
        const std::string_view text = line;
        const bool wellFormed = text.size() >= 8 + kBefore.size() + kAfter.size() && IsTimeStamp(text.substr(0, 8)) &&
                                text.substr(8, kBefore.size()) == kBefore && text.ends_with(kAfter);
        names.push_back(wellFormed ? std::string(text.substr(8 + kBefore.size(),
                                                             text.size() - 8 - kBefore.size() - kAfter.size()))
                                   : std::string());
    }
    return names;
}

std::string Shown(const ProgramResult& result) {
    return "exit " + std::to_string(result.exitCode) + "\nstdout:\n" + result.out + "stderr:\n" + result.err;
}

class ExtractTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(work_.Created()); }

    ProgramResult Run(const Arguments& arguments) { return Run(arguments, work_.Path()); }
    ProgramResult Run(const Arguments& arguments, const fs::path& workingFolder) {
        return RunProgramFile(kProgram, arguments, workingFolder, scratch_);
    }
    // A folder for the program to save into, with a trailing separator as a user would type it.
    std::string OutputFolder(const std::string& name) { return work_.MakeFolder(name).string() + "/"; }
    std::string Message(const std::string& stem) { return MessageFile(stem).string(); }
    // A message file of our own in the work folder.
    std::string WriteMessage(const std::string& name, const std::string& bytes) {
        const fs::path path = work_.Path() / name;
        EXPECT_TRUE(WriteBytes(path, bytes)) << path;
        return path.string();
    }

    TemporaryFolder work_;
    fs::path scratch_ = work_.MakeFolder("scratch");
};

// --- the sample messages, one at a time -------------------------------------------------------------------------

class ExtractSampleMessage : public ExtractTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(ExtractSampleMessage, SavesExactlyTheExpectedBytesInRunOrder) {
    const std::string stem = GetParam();
    const std::string folder = OutputFolder("out");
    const ProgramResult result = Run({"--extract", "--to", folder, Message(stem)});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_THAT(result.err, IsEmpty());
    EXPECT_EQ(SavedNames(result), ExpectedSaveOrder(stem)) << result.out;
    EXPECT_TRUE(SameFiles(FilesIn(folder), ExpectedFiles(stem)));
}

INSTANTIATE_TEST_SUITE_P(Corpus, ExtractSampleMessage, ::testing::ValuesIn(CorpusStems()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// --- the whole corpus, as `make demo` runs it -------------------------------------------------------------------

TEST_F(ExtractTest, SavesTheAttachmentsOfManyFilesInOneRun) {
    Arguments arguments = {"--extract", "--to", OutputFolder("all")};
    std::vector<std::string> expectedNames;
    FileSet expectedFiles;
    for (const std::string& stem : CorpusStems()) {
        arguments.push_back(Message(stem));
        for (const std::string& name : ExpectedSaveOrder(stem)) expectedNames.push_back(name);
        for (const auto& [name, bytes] : ExpectedFiles(stem)) {
            ASSERT_TRUE(expectedFiles.emplace(name, bytes).second) << "two sample messages save '" << name << "'";
        }
    }
    ASSERT_FALSE(expectedFiles.empty());
    const ProgramResult result = Run(arguments);
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_EQ(SavedNames(result), expectedNames);
    EXPECT_TRUE(SameFiles(FilesIn(work_.Path() / "all"), expectedFiles));
}

// --- line ends and mbox files ------------------------------------------------------------------------------------

std::string WithLineEnds(const std::string& bytes, bool crLf) {
    std::string lf;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        lf += bytes[i];
    }
    if (!crLf) return lf;
    std::string crlf;
    for (char c : lf) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return crlf;
}

TEST_F(ExtractTest, GivesTheSameFilesForLfAndCrLfAndAnMboxSeparator) {
    // One CR LF sample and one LF sample, each written in the other form, with and without an mbox "From " line.
    for (const std::string stem : {"thunderbird_nested", "python_rfc2231_names", "mutt_mbox_latin1"}) {
        std::string original = ReadBytes(MessageFile(stem));
        if (original.starts_with("From ")) original.erase(0, original.find('\n') + 1);
        const std::string mboxLine = "From belege@zentrale.example Mon Mar 18 08:00:00 2024\n";
        struct Variant {
            std::string name;
            std::string bytes;
        };
        const Variant variants[] = {
            {"lf", WithLineEnds(original, false)},
            {"crlf", WithLineEnds(original, true)},
            {"mbox-lf", mboxLine + WithLineEnds(original, false)},
            {"mbox-crlf", WithLineEnds(mboxLine + original, true)},
        };
        for (const Variant& variant : variants) {
            const std::string name = stem + "-" + variant.name;
            const std::string folder = OutputFolder(name);
            const ProgramResult result = Run({"--extract", "--to", folder, WriteMessage(name + ".eml", variant.bytes)});
            ASSERT_EQ(result.exitCode, 0) << name << "\n" << Shown(result);
            EXPECT_EQ(SavedNames(result), ExpectedSaveOrder(stem)) << name;
            EXPECT_TRUE(SameFiles(FilesIn(folder), ExpectedFiles(stem))) << name;
        }
    }
}

// --- the extension filter ----------------------------------------------------------------------------------------

TEST_F(ExtractTest, SavesOnlyTheAllowedExtensions) {
    // python_extension_mix holds, in run order: lager.backup.2024.tar.gz, A.CSV, b.txt, c.
    struct Case {
        std::string list;
        std::vector<std::string> saved;
    };
    const Case cases[] = {
        {"csv,pdf", {"A.CSV"}},
        {"CSV,", {"A.CSV", "c"}},
        {".gz", {"lager.backup.2024.tar.gz"}},
        {"tar.gz", {}},
        {"csv, txt", {"A.CSV", "b.txt"}},  // blanks around a field do not count
        {" csv ,", {"A.CSV", "c"}},
        {"TXT,Csv,gz", {"lager.backup.2024.tar.gz", "A.CSV", "b.txt"}},
        {"", {"lager.backup.2024.tar.gz", "A.CSV", "b.txt", "c"}},
        {"pdf", {}},
    };
    const FileSet all = ExpectedFiles("python_extension_mix");
    int number = 0;
    for (const Case& c : cases) {
        const std::string folder = OutputFolder("filter" + std::to_string(++number));
        const ProgramResult result =
            Run({"--extract", "--extensions", c.list, "--to", folder, Message("python_extension_mix")});
        ASSERT_EQ(result.exitCode, 0) << "list '" << c.list << "'\n" << Shown(result);
        EXPECT_EQ(SavedNames(result), c.saved) << "list '" << c.list << "'";
        FileSet expected;
        for (const std::string& name : c.saved) expected.emplace(name, all.at(name));
        EXPECT_TRUE(SameFiles(FilesIn(folder), expected)) << "list '" << c.list << "'";
    }
}

// --- folders -----------------------------------------------------------------------------------------------------

TEST_F(ExtractTest, SavesIntoTheCurrentFolderByDefault) {
    const fs::path current = work_.MakeFolder("current");
    const ProgramResult result = Run({"--extract", Message("python_invoice_pdf")}, current);
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_TRUE(SameFiles(FilesIn(current), ExpectedFiles("python_invoice_pdf")));
}

TEST_F(ExtractTest, SavesIntoAFolderGivenWithoutTrailingSeparator) {
    const fs::path folder = work_.MakeFolder("plain");
    const ProgramResult result = Run({"--extract", "--to", folder.string(), Message("python_invoice_pdf")});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_TRUE(SameFiles(FilesIn(folder), ExpectedFiles("python_invoice_pdf")));
    EXPECT_TRUE(FilesIn(work_.Path()).empty()) << "nothing may land next to the folder";
}

TEST_F(ExtractTest, SavesIntoAFolderWithANonAsciiName) {
    const fs::path folder = work_.MakeFolder("Ausgabe M\xC3\xA4rz \xE2\x82\xAC");
    const std::u8string utf8 = folder.u8string();
    const ProgramResult result =
        Run({"--extract", "--to", std::string(utf8.begin(), utf8.end()), Message("python_rfc2231_names")});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_TRUE(SameFiles(FilesIn(folder), ExpectedFiles("python_rfc2231_names")));
}

TEST_F(ExtractTest, KeepsAnExistingFileOfTheSameNameUnlessToldToReplaceIt) {
    const std::string folder = OutputFolder("existing");
    const std::string other(100000, 'x');
    ASSERT_TRUE(WriteBytes(fs::path(folder) / "Rechnung_2024-0311.pdf", other));
    const std::string invoice = ExpectedFiles("python_invoice_pdf").at("Rechnung_2024-0311.pdf");
    ProgramResult result = Run({"--extract", "--to", folder, Message("python_invoice_pdf")});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_EQ(SavedNames(result), std::vector<std::string>{"Rechnung_2024-0311 (2).pdf"});
    EXPECT_TRUE(SameFiles(FilesIn(folder),
                          {{"Rechnung_2024-0311.pdf", other}, {"Rechnung_2024-0311 (2).pdf", invoice}}));

    // The same message again finds its file and adds no copy.
    result = Run({"--extract", "--to", folder, Message("python_invoice_pdf")});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_EQ(SavedNames(result), std::vector<std::string>{"Rechnung_2024-0311 (2).pdf"});
    EXPECT_EQ(FilesIn(folder).size(), 2u);

    result = Run({"--extract", "--replace", "--to", folder, Message("python_invoice_pdf")});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_EQ(SavedNames(result), std::vector<std::string>{"Rechnung_2024-0311.pdf"});
    EXPECT_TRUE(SameFiles(FilesIn(folder),
                          {{"Rechnung_2024-0311.pdf", invoice}, {"Rechnung_2024-0311 (2).pdf", invoice}}));
}

TEST_F(ExtractTest, TwoExtractionsIntoOneFolderAtOnceKeepEveryFileWhole) {
    // Each message holds many different files of one name; two programs save them at the same time.
    constexpr int kFiles = 150;
    std::set<std::string> contents;
    std::vector<std::string> messages;
    for (const char* writer : {"first", "second"}) {
        std::string message = "Subject: export\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
        for (int n = 0; n < kFiles; ++n) {
            const std::string content = std::string(writer) + " writer, file " + std::to_string(n) + "\r\n" +
                                        std::string(static_cast<std::size_t>(1000 + n), 'x');
            contents.insert(content);
            message += "--b\r\nContent-Disposition: attachment; filename=\"export.csv\"\r\n\r\n" + content + "\r\n";
        }
        message += "--b--\r\n";
        messages.push_back(WriteMessage(std::string(writer) + ".eml", message));
    }
    const std::string folder = OutputFolder("shared");
    const fs::path scratch[] = {work_.MakeFolder("scratch-1"), work_.MakeFolder("scratch-2")};
    ProgramResult results[2];
    {
        std::thread second([&] {
            results[1] = RunProgramFile(kProgram, {"--extract", "--to", folder, messages[1]}, work_.Path(), scratch[1]);
        });
        results[0] = RunProgramFile(kProgram, {"--extract", "--to", folder, messages[0]}, work_.Path(), scratch[0]);
        second.join();
    }
    std::set<std::string> printed;
    for (const ProgramResult& result : results) {
        ASSERT_EQ(result.exitCode, 0) << Shown(result);
        for (const std::string& name : SavedNames(result)) EXPECT_TRUE(printed.insert(name).second) << name;
    }
    std::set<std::string> names = {"export.csv"};
    for (int n = 2; n <= 2 * kFiles; ++n) names.insert("export (" + std::to_string(n) + ").csv");
    EXPECT_EQ(printed, names) << "each file reported under its own name";
    std::set<std::string> savedNames;
    std::set<std::string> savedContents;
    for (const auto& [name, bytes] : FilesIn(folder)) {
        savedNames.insert(name);
        savedContents.insert(bytes);
    }
    EXPECT_EQ(savedNames, names);
    EXPECT_TRUE(savedContents == contents) << "every file whole, none lost to another";
}

TEST_F(ExtractTest, InlineFilesAreSavedOnlyWithTheInlineSwitch) {
    const std::string plain = OutputFolder("plain");
    ProgramResult result = Run({"--extract", "--to", plain, Message("mpack_inline"), Message("apple_mail_related")});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_EQ(SavedNames(result), std::vector<std::string>{"Messwerte_Halle3.csv"});

    const std::string inlined = OutputFolder("inline");
    result = Run({"--extract", "--inline", "--to", inlined, Message("mpack_inline"), Message("apple_mail_related")});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_EQ(SavedNames(result), (std::vector<std::string>{"Foto_Lager.png", "Messwerte_Halle3.csv", "logo.png"}));
    const FileSet files = FilesIn(inlined);
    ASSERT_EQ(files.size(), 3u);
    for (const char* picture : {"Foto_Lager.png", "logo.png"}) {
        EXPECT_TRUE(files.at(picture).starts_with("\x89PNG\r\n\x1a\n")) << picture;
    }
}

// --- failures ----------------------------------------------------------------------------------------------------

TEST_F(ExtractTest, AnUnreadableFileGivesOneButTheOthersAreStillSaved) {
    const std::string folder = OutputFolder("unreadable");
    const std::string missing = (work_.Path() / "missing.eml").string();
    const std::string aFolder = work_.MakeFolder("not-a-file.eml").string();
    const ProgramResult result =
        Run({"--extract", "--to", folder, missing, aFolder, Message("python_invoice_pdf")});
    EXPECT_EQ(result.exitCode, 1) << Shown(result);
    EXPECT_THAT(result.err, HasSubstr(missing));
    EXPECT_THAT(result.err, HasSubstr(aFolder));
    EXPECT_EQ(SavedNames(result), ExpectedSaveOrder("python_invoice_pdf"));
    EXPECT_TRUE(SameFiles(FilesIn(folder), ExpectedFiles("python_invoice_pdf")));
}

TEST_F(ExtractTest, AFolderThatCannotBeWrittenGivesOne) {
    // A regular file in the place of a folder stops even a privileged user from creating files in it.
    ASSERT_TRUE(WriteBytes(work_.Path() / "plain-file", "x"));
    const std::string folders[] = {(work_.Path() / "plain-file").string() + "/",
                                   (work_.Path() / "missing" / "folder").string() + "/"};
    for (const std::string& folder : folders) {
        const ProgramResult result = Run({"--extract", "--to", folder, Message("thunderbird_nested")});
        EXPECT_EQ(result.exitCode, 1) << folder << "\n" << Shown(result);
        EXPECT_THAT(result.err, HasSubstr("Angebot 2024-117.pdf"));
        EXPECT_THAT(result.err, HasSubstr("kunden.csv"));
        EXPECT_THAT(result.out, IsEmpty());
    }
    EXPECT_FALSE(fs::exists(work_.Path() / "missing")) << "the folder is not created";
}

TEST_F(ExtractTest, AnAllowedAttachmentWithoutAUsableNameIsNotSaved) {
    const std::string message =
        "From: a@b.example\r\nSubject: export\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
        "--b1\r\nContent-Type: text/plain\r\n\r\nsee attachments\r\n"
        "--b1\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; size=3\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\nYWJj\r\n"
        "--b1\r\nContent-Type: text/csv\r\nContent-Disposition: attachment; filename=\"list.csv\"\r\n\r\na;b\r\n"
        "--b1--\r\n";
    const std::string file = WriteMessage("unnamed.eml", message);

    const std::string all = OutputFolder("all");
    ProgramResult result = Run({"--extract", "--to", all, file});
    EXPECT_EQ(result.exitCode, 1) << Shown(result);
    EXPECT_THAT(result.err, HasSubstr("attachment 2"));
    EXPECT_EQ(SavedNames(result), std::vector<std::string>{"list.csv"});
    EXPECT_TRUE(SameFiles(FilesIn(all), {{"list.csv", "a;b"}}));

    // Filtered out by its (empty) extension, it is no failure; an empty field lets it through again.
    const std::string csvOnly = OutputFolder("csv");
    result = Run({"--extract", "--extensions", "csv", "--to", csvOnly, file});
    EXPECT_EQ(result.exitCode, 0) << Shown(result);
    EXPECT_TRUE(SameFiles(FilesIn(csvOnly), {{"list.csv", "a;b"}}));
    result = Run({"--extract", "--extensions", "csv,", "--to", OutputFolder("csv-empty"), file});
    EXPECT_EQ(result.exitCode, 1) << Shown(result);
}

TEST_F(ExtractTest, ABase64AttachmentThatDoesNotDecodeIsNotSaved) {
    const std::string message =
        "Subject: broken\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
        "--b1\r\nContent-Disposition: attachment; filename=\"broken.pdf\"\r\nContent-Transfer-Encoding: base64\r\n"
        "\r\nJVBER\r\n--b1--\r\n";
    const std::string folder = OutputFolder("broken");
    const ProgramResult result = Run({"--extract", "--to", folder, WriteMessage("broken.eml", message)});
    EXPECT_EQ(result.exitCode, 1) << Shown(result);
    EXPECT_THAT(result.err, HasSubstr("broken.pdf"));
    EXPECT_TRUE(FilesIn(folder).empty());
}

TEST_F(ExtractTest, AMessageWithoutAttachmentsSavesNothingAndSucceeds) {
    const std::string folder = OutputFolder("none");
    for (const std::string& bytes : {std::string(), std::string("no header end"), std::string("Subject: x\n\nbody\n")}) {
        const ProgramResult result = Run({"--extract", "--to", folder, WriteMessage("empty.eml", bytes)});
        EXPECT_EQ(result.exitCode, 0) << Shown(result);
        EXPECT_THAT(result.out, IsEmpty());
    }
    EXPECT_TRUE(FilesIn(folder).empty());
}

// --- usage, help, version and the window start-up ----------------------------------------------------------------

TEST_F(ExtractTest, UsageErrorsGiveTwoAndTheUsageText) {
    const Arguments cases[] = {
        {"--extract"},
        {"--extract", "--to"},
        {"--extract", "--to", OutputFolder("x")},
        {"--extract", "--bogus", Message("python_invoice_pdf")},
        {"--extract", "--extensions"},
        {"--help", "more"},
        {"stray", "--version"},
    };
    for (const Arguments& arguments : cases) {
        const ProgramResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 2) << ::testing::PrintToString(arguments) << "\n" << Shown(result);
        EXPECT_THAT(result.err, HasSubstr("Usage:"));
        EXPECT_THAT(result.err, HasSubstr(kExtractUsage));
        EXPECT_THAT(result.out, IsEmpty());
    }
    EXPECT_TRUE(FilesIn(work_.Path()).empty());
}

TEST_F(ExtractTest, HelpAndVersion) {
    ProgramResult result = Run({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.out, HasSubstr(kExtractUsage));
    EXPECT_THAT(result.err, IsEmpty());

    result = Run({"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "Zendrel V" ZENDREL_PROJECT_VERSION "\n");
    EXPECT_THAT(result.err, IsEmpty());
}

// On Windows these open the window, which the window's own tests drive.
#if !defined(_WIN32)
TEST_F(ExtractTest, OtherArgumentListsAreLeftToTheWindow) {
    for (const Arguments& arguments : {Arguments{}, Arguments{"-LOGGING"}, Arguments{"unknown", "/x"}}) {
#if defined(ZENDREL_WITH_QT)
        // Kept from any display the tests may run on, the window says why it does not open.
        const ProgramEnvironment noDisplay = {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
        const ProgramResult result = RunProgramFile(kProgram, arguments, work_.Path(), scratch_, noDisplay);
        EXPECT_EQ(result.exitCode, 2) << ::testing::PrintToString(arguments);
        EXPECT_THAT(result.err, HasSubstr("DISPLAY"));
#else
        const ProgramResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 0) << ::testing::PrintToString(arguments);
        EXPECT_THAT(result.out, HasSubstr("window is not available"));
#endif
    }
}
#endif

}  // namespace
}  // namespace zendrel::testsupport
