#include "corpus.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "test_files.h"

namespace zendrel::testsupport {

namespace fs = std::filesystem;

namespace {

fs::path ExpectedFolder() { return fs::path(ZENDREL_TEST_DATA) / "expected"; }

std::string Names(const FileSet& files) {
    std::string names;
    for (const auto& [name, bytes] : files) names += " '" + name + "'";
    return names.empty() ? " (none)" : names;
}

}  // namespace

fs::path MessagesFolder() { return fs::path(ZENDREL_TEST_DATA) / "messages"; }

std::vector<std::string> CorpusStems() {
    std::vector<std::string> stems;
    for (const fs::directory_entry& entry : fs::directory_iterator(MessagesFolder())) {
        if (entry.path().extension() == ".eml") stems.push_back(entry.path().stem().string());
    }
    std::sort(stems.begin(), stems.end());
    return stems;
}

fs::path MessageFile(const std::string& stem) { return MessagesFolder() / (stem + ".eml"); }

FileSet ExpectedFiles(const std::string& stem) { return FilesIn(ExpectedFolder() / stem); }

std::vector<std::string> ExpectedSaveOrder(const std::string& stem) {
    std::istringstream lines(ReadBytes(ExpectedFolder() / "save_order.txt"));
    std::vector<std::string> names;
    const std::string prefix = stem + ".eml\t";
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, prefix.size(), prefix) == 0) names.push_back(line.substr(prefix.size()));
    }
    return names;
}

::testing::AssertionResult SameFiles(const FileSet& actual, const FileSet& expected) {
    if (actual.size() != expected.size() ||
        !std::equal(actual.begin(), actual.end(), expected.begin(),
                    [](const auto& a, const auto& b) { return a.first == b.first; })) {
        return ::testing::AssertionFailure() << "files:" << Names(actual) << "\nexpected:" << Names(expected);
    }
    for (const auto& [name, bytes] : expected) {
        const std::string& saved = actual.at(name);
        if (saved == bytes) continue;
        const auto [at, unused] = std::mismatch(saved.begin(), saved.end(), bytes.begin(), bytes.end());
        return ::testing::AssertionFailure() << "'" << name << "' has " << saved.size() << " bytes, expected "
                                             << bytes.size() << "; first difference at byte "
                                             << (at - saved.begin());
    }
    return ::testing::AssertionSuccess();
}

}  // namespace zendrel::testsupport
