#pragma once
// Runs make_messages.py, which writes the test and benchmark mail with Python's MIME generator.

#include <filesystem>
#include <string>

namespace zendrel::testsupport {

// The messages of the integration tests: <name>.eml and <name>/<attachment file> (the bytes a receiver must save)
// for the names plain, attachments, eightbit and large.
bool MakeTestMessages(const std::filesystem::path& folder, std::string& error);

// count small messages small-NNNN.eml and one message big.eml with an attachment of bigBytes bytes.
bool MakeBenchMessages(const std::filesystem::path& folder, int count, long bigBytes, std::string& error);

}  // namespace zendrel::testsupport
