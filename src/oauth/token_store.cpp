#include "oauth/token_store.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "common/file_io.h"

namespace zendrel {
namespace {

constexpr std::string_view kFirstLine = "zendrel tokens 1";
constexpr std::string_view kRefreshKey = "refresh";
constexpr std::string_view kAccessKey = "access";
constexpr std::string_view kExpiresKey = "expires";
constexpr std::string_view kNameKey = "name";

bool Storable(std::string_view value) {
    return std::none_of(value.begin(), value.end(), [](char c) { return c == '\n' || c == '\r' || c == '\0'; });
}

void AppendLine(std::string& out, std::string_view key, std::string_view value) {
    out.append(key).append("=").append(value).append("\n");
}

TokenSave Write(const std::filesystem::path& path, const StoredTokens& tokens) {
    const std::optional<std::string> text = FormatStoredTokens(tokens);
    if (!text) return TokenSave::kRefused;
    return WriteFileAtomically(path, *text, FileAccess::kOwnerOnly) == FileError::kNone ? TokenSave::kSaved
                                                                                        : TokenSave::kFailed;
}

}  // namespace

bool IsSignedIn(const StoredTokens& tokens) { return !tokens.refreshToken.empty() || !tokens.accessToken.empty(); }

std::optional<std::string> FormatStoredTokens(const StoredTokens& tokens) {
    if (!Storable(tokens.refreshToken) || !Storable(tokens.accessToken) || !Storable(tokens.signedInName)) {
        return std::nullopt;
    }
    std::string out;
    out.append(kFirstLine).append("\n");
    AppendLine(out, kRefreshKey, tokens.refreshToken);
    AppendLine(out, kAccessKey, tokens.accessToken);
    AppendLine(out, kExpiresKey, std::to_string(tokens.accessTokenExpiresAt));
    AppendLine(out, kNameKey, tokens.signedInName);
    return out;
}

std::optional<StoredTokens> ParseStoredTokens(std::string_view text) {
    std::size_t at = text.find('\n');
    if (at == std::string_view::npos || text.substr(0, at) != kFirstLine) return std::nullopt;
    StoredTokens tokens;
    ++at;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (key == kRefreshKey) tokens.refreshToken = value;
        if (key == kAccessKey) tokens.accessToken = value;
        if (key == kNameKey) tokens.signedInName = value;
        if (key == kExpiresKey) {
            std::int64_t seconds = 0;
            const auto parsed = std::from_chars(value.data(), value.data() + value.size(), seconds);
            // An unreadable lifetime is an unknown one: the token is then refreshed before its first use.
            tokens.accessTokenExpiresAt = parsed.ec == std::errc() && seconds > 0 ? seconds : 0;
        }
    }
    return tokens;
}

std::optional<StoredTokens> ReadStoredTokens(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kLongestTokenFile) return std::nullopt;
    const std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) return std::nullopt;
    return ParseStoredTokens(*bytes);
}

TokenSave SaveTokens(const std::filesystem::path& path, const StoredTokens& tokens) { return Write(path, tokens); }

TokenSave SaveRefreshedTokens(const std::filesystem::path& path, std::string_view refreshedFrom,
                              const StoredTokens& tokens) {
    // Refreshes happen inside mailbox runs, and a run holds the data folder's run lock: the window's and the
    // service's refreshes never overlap. What can change the file meanwhile is a sign-in or a sign-out, which take no
    // run lock (neither must wait for a run). So the file is compared before it is replaced: tokens that no longer
    // follow from what it holds would put back a sign-in the user has just replaced or ended.
    const std::optional<StoredTokens> current = ReadStoredTokens(path);
    if (!current || current->refreshToken != refreshedFrom) return TokenSave::kKeptNewer;
    return Write(path, tokens);
}

bool ForgetTokens(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
    return !error && !std::filesystem::exists(path, error);
}

}  // namespace zendrel
