#pragma once
// The tokens of an OAuth 2.0 sign-in, kept in a file of their own in the data folder. They are secrets like the
// password: the file is private to its user, and nothing of them is ever printed or logged.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zendrel {

// Not in "Reader.prefs": the window writes that file whole at its start button and would put a token back that a
// refresh has replaced since.
inline constexpr const char* kTokenFileName = "tokens.dat";
// Far beyond any provider's tokens (1-2 KB each); a larger file is not taken into memory.
inline constexpr std::uintmax_t kLongestTokenFile = 64 * 1024;

struct StoredTokens {
    std::string refreshToken;
    std::string accessToken;
    std::int64_t accessTokenExpiresAt = 0;  // seconds since 1970 (UTC); 0 when the provider named no lifetime
    std::string signedInName;               // as the provider's id token names the user, UTF-8
};

// Whether the tokens allow a login, now or after a refresh.
bool IsSignedIn(const StoredTokens& tokens);

// The tokens in `path`; none when there is no such file or it cannot be read as one.
std::optional<StoredTokens> ReadStoredTokens(const std::filesystem::path& path);

enum class TokenSave {
    kSaved,
    kKeptNewer,  // the file no longer holds the refresh token the new ones came from: it stays as it is
    kRefused,    // a value holds a line break or a NUL, which the file cannot keep apart from its own lines
    kFailed,     // the file could not be written; the previous one stays
};

// Replaces the stored tokens with `tokens` (a sign-in), written whole.
TokenSave SaveTokens(const std::filesystem::path& path, const StoredTokens& tokens);

// Stores the tokens a refresh of `refreshedFrom` gave, unless the file holds another refresh token by now.
TokenSave SaveRefreshedTokens(const std::filesystem::path& path, std::string_view refreshedFrom,
                              const StoredTokens& tokens);

// Forgets the sign-in; true when no tokens are stored afterwards.
bool ForgetTokens(const std::filesystem::path& path);

// The file's text for `tokens` (none when a value cannot be stored), and the tokens in such a text.
std::optional<std::string> FormatStoredTokens(const StoredTokens& tokens);
std::optional<StoredTokens> ParseStoredTokens(std::string_view text);

}  // namespace zendrel
