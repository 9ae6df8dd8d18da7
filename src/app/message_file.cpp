#include "app/message_file.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>
#include <vector>

namespace zendrel {
namespace {

constexpr std::string_view kMboxFromLine = "From ";

}  // namespace

void NormaliseLineEnds(std::string& text, std::size_t from) {
    // Positions of the LFs that no CR precedes, found with memchr: a CR LF file is only scanned, never copied.
    std::vector<std::size_t> bareLineFeeds;
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* p = begin + from; p < end; ++p) {
        p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (p == nullptr) break;
        const auto at = static_cast<std::size_t>(p - begin);
        if (at == from || text[at - 1] != '\r') bareLineFeeds.push_back(at);
    }
    if (bareLineFeeds.empty()) return;

    // Grow once, then move each run of bytes between two bare LFs to its final place, from the back.
    const std::size_t oldSize = text.size();
    text.resize(oldSize + bareLineFeeds.size());
    char* const bytes = text.data();
    std::size_t runEnd = oldSize;
    for (std::size_t k = bareLineFeeds.size(); k-- > 0;) {
        const std::size_t lineFeed = bareLineFeeds[k];
        std::memmove(bytes + lineFeed + k + 1, bytes + lineFeed, runEnd - lineFeed);  // the LF and what follows it
        bytes[lineFeed + k] = '\r';
        runEnd = lineFeed;
    }
}

RetrievedMessage::RetrievedMessage(std::string bufferWithSpareFront) : buffer_(std::move(bufferWithSpareFront)) {
    if (buffer_.size() < kRetrievedMessageSpareFront) buffer_.resize(kRetrievedMessageSpareFront);
    buffer_[0] = '\r';
    buffer_[1] = '\n';
    NormaliseLineEnds(buffer_, kRetrievedMessageSpareFront);
    start_ = 0;
    // An mbox file starts with its own separator line; its CR LF then stands where the status line's would.
    if (std::string_view(buffer_).substr(kRetrievedMessageSpareFront).starts_with(kMboxFromLine)) {
        const std::size_t lineEnd = buffer_.find("\r\n", kRetrievedMessageSpareFront);
        start_ = lineEnd == std::string::npos ? buffer_.size() : lineEnd;
    }
}

bool ReadMessageFile(const std::string& path, RetrievedMessage& message, std::string& error) {
    const std::filesystem::path filePath(path);
    std::error_code code;
    if (std::filesystem::is_directory(filePath, code)) {
        error = "is a folder, not a message file";
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(filePath, code);
    if (code) {
        error = code.message();
        return false;
    }
    std::ifstream file(filePath, std::ios::binary);
    if (!file) {
        error = "cannot be opened";
        return false;
    }
    std::string buffer;
    buffer.resize(kRetrievedMessageSpareFront + static_cast<std::size_t>(size));
    file.read(buffer.data() + kRetrievedMessageSpareFront, static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(file.gcount()) != size) {
        error = "cannot be read completely";
        return false;
    }
    message = RetrievedMessage(std::move(buffer));
    return true;
}

}  // namespace zendrel
