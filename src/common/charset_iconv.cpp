#include <iconv.h>

#include <cerrno>

#include "common/system_charset.h"
#include "common/unique_resource.h"

namespace zendrel {
namespace {

// An open conversion, which iconv_open() reports as (iconv_t)-1 when it cannot be had.
struct ConversionTraits {
    using Handle = iconv_t;
    static Handle None() noexcept { return reinterpret_cast<iconv_t>(-1); }
    static bool Close(Handle conversion) noexcept { return iconv_close(conversion) == 0; }
};
using Conversion = UniqueResource<ConversionTraits>;

constexpr std::size_t kFailed = static_cast<std::size_t>(-1);

}  // namespace

std::optional<std::string> SystemCharsetToUtf8(const SystemCharset& charset, std::string_view bytes) {
    // A system without the charset's gconv module cannot open the conversion.
    const Conversion conversion(iconv_open("UTF-8", charset.iconvName));
    if (!conversion.valid()) return std::nullopt;
    // Enough for every charset of the table (none of their characters takes more than three times its bytes in
    // UTF-8); the buffer grows should one ever need more.
    std::string out(bytes.size() * 3 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());  // iconv's signature; it does not write the input
    std::size_t inLeft = bytes.size();
    char* next = out.data();
    std::size_t outLeft = out.size();
    const auto grow = [&] {
        const std::size_t written = out.size() - outLeft;
        out.resize(out.size() * 2);
        next = out.data() + written;
        outLeft = out.size() - written;
    };
    while (inLeft > 0) {
        if (iconv(conversion.get(), &in, &inLeft, &next, &outLeft) != kFailed) continue;
        if (errno != E2BIG) return std::nullopt;  // a byte that is not valid in the charset, or a cut sequence
        grow();
    }
    // A stateful charset (ISO-2022-JP) may still have to return to its initial state.
    while (iconv(conversion.get(), nullptr, nullptr, &next, &outLeft) == kFailed) {
        if (errno != E2BIG) return std::nullopt;
        grow();
    }
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace zendrel
