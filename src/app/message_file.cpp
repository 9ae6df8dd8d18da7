#include "app/message_file.h"

#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

namespace zendrel {
namespace {

constexpr std::string_view kMboxFromLine = "From ";

}  // namespace

void NormaliseLineEnds(std::string& text, std::size_t from) {
    std::size_t bareLineFeeds = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == from || text[i - 1] != '\r')) ++bareLineFeeds;
    }
    if (bareLineFeeds == 0) return;

    // Grow once, then move every byte to its final place from the back, so each moves only once.
    const std::size_t oldSize = text.size();
    text.resize(oldSize + bareLineFeeds);
    std::size_t write = text.size();
    for (std::size_t read = oldSize; read > from;) {
        --read;
        const char c = text[read];
        text[--write] = c;
        if (c == '\n' && (read == from || text[read - 1] != '\r')) text[--write] = '\r';
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
