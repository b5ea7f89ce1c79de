#include "membername.h"

#include <cstdio>
#include <iconv.h>
#include <memory>
#include <type_traits>

namespace memberName {

bool isValidUtf8(std::string_view bytes)
{
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + length > bytes.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            const unsigned char min = k == 1 ? low : 0x80;
            const unsigned char max = k == 1 ? high : 0xBF;
            if (next < min || next > max)
                return false;
        }
        i += length;
    }
    return true;
}

namespace {

struct IconvCloser
{
    void operator()(void *converter) const { iconv_close(static_cast<iconv_t>(converter)); }
};
using Converter = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// One a thread: a converter holds the state of the conversion under way.
iconv_t cp437Converter()
{
    thread_local const Converter converter = [] {
        const iconv_t opened = iconv_open("UTF-8", "CP437");
        return Converter(opened == reinterpret_cast<iconv_t>(-1) ? nullptr : opened);
    }();
    return converter.get();
}

} // namespace

std::optional<std::string> fromCp437(std::string_view bytes)
{
    const iconv_t converter = cp437Converter();
    if (converter == nullptr)
        return std::nullopt;
    // Every CP437 byte becomes at most three UTF-8 bytes.
    std::string out(bytes.size() * 3, '\0');
    std::string in(bytes);
    char *inNext = in.data();
    size_t inLeft = in.size();
    char *outNext = out.data();
    size_t outLeft = out.size();
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &inNext, &inLeft, &outNext, &outLeft) == static_cast<size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::optional<std::string> decode(std::string_view raw)
{
    if (isValidUtf8(raw))
        return std::string(raw);
    return fromCp437(raw);
}

std::string printable(std::string_view name)
{
    std::string shown;
    shown.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

} // namespace memberName
