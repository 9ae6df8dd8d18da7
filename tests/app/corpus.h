#pragma once
// The sample messages of tests/data/messages and what their attachments must give (tests/data/expected).

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zendrel::testsupport {

using FileSet = std::map<std::string, std::string>;  // UTF-8 file name -> bytes

std::filesystem::path MessagesFolder();

// The file names of the sample messages without ".eml", sorted.
std::vector<std::string> CorpusStems();
std::filesystem::path MessageFile(const std::string& stem);
// The files that saving every attachment of the message leaves in an empty folder.
FileSet ExpectedFiles(const std::string& stem);
// The names of its attachments in the order a mailbox run saves them (attachment 1 first), duplicates included.
std::vector<std::string> ExpectedSaveOrder(const std::string& stem);

// Whether two folders hold the same names with the same bytes; on a difference, says which file and where.
::testing::AssertionResult SameFiles(const FileSet& actual, const FileSet& expected);

}  // namespace zendrel::testsupport
