#include "mime/part_writer.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <system_error>

#include "common/text.h"
#include "mime/base64_block.h"
#include "mime/header_field.h"
#include "mime/quoted_printable.h"

namespace zendrel {
namespace {

namespace fs = std::filesystem;

// The single-byte name as a path: Windows-1252 read into UTF-8, as the ANSI file functions would on Windows.
fs::path ToPath(std::string_view name) {
    const std::string utf8 = Windows1252ToUtf8(name);
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// A name in the target's folder that no one else uses, so that a half-written file never carries the real name.
std::optional<fs::path> MakeTemporaryPath(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const unsigned tag = random() ^ (counter.fetch_add(1) * 2654435761u);
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", tag);
        std::u8string name = u8".";
        name += target.filename().u8string();
        name += u8".part-";
        name.append(suffix, suffix + 8);
        fs::path candidate = target;
        candidate.replace_filename(name);
        std::error_code error;
        if (!fs::exists(candidate, error) && !error) return candidate;
    }
    return std::nullopt;
}

bool WriteWholeFile(const fs::path& path, std::string_view content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    file.close();
    return !file.fail();
}

// Writes under a temporary name and renames it over the target, so that the target is either the old file or the
// complete new one.
bool ReplaceFile(const fs::path& target, std::string_view content) {
    const auto temporary = MakeTemporaryPath(target);
    if (!temporary) return false;
    std::error_code error;
    bool written = false;
    try {
        written = WriteWholeFile(*temporary, content);
    } catch (...) {
        written = false;
    }
    if (written) fs::rename(*temporary, target, error);
    if (!written || error) {
        fs::remove(*temporary, error);
        return false;
    }
    return true;
}

}  // namespace

bool SavePart(const MessagePart& part, std::string_view folder, std::string_view fileName) {
    if (fileName.empty()) return false;
    try {
        std::string fullName(folder);
        fullName += fileName;
        const fs::path target = ToPath(fullName);

        const std::string cte = LowerCase(GetHeaderField(part.header, "content-transfer-encoding"));
        if (cte.find("base64") != std::string::npos) {
            // A body of line breaks alone is an empty attachment, which decodes to nothing without being damaged.
            if (part.body.find_first_not_of("\r\n\t ") == std::string::npos) return ReplaceFile(target, {});
            const auto decoded = DecodeBase64Block(part.body);
            return decoded && ReplaceFile(target, *decoded);
        }
        if (cte.find("quoted-printable") != std::string::npos) {
            return ReplaceFile(target, DecodeQuotedPrintable(part.body, TextFormat::SingleByte));
        }
        return ReplaceFile(target, part.body);
    } catch (...) {
        return false;  // out of memory or a path the library refuses: nothing was written
    }
}

}  // namespace zendrel
