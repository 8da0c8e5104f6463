#include "view/Text.h"

#include "fru/FruAddress.h"
#include "support/Utf16.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace Text {
std::string ToUtf8(const OrvaneChar* text) {
    std::string out;
    if (!text)
        return out;
    for (const OrvaneChar* p = text; *p; ++p) {
        uint32_t c = *p;
        if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(p[1]) - 0xDC00);
            ++p;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        Utf16::AppendUtf8(out, c);
    }
    return out;
}

std::u16string FromUtf8(const std::string& text) {
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<uint8_t>(text[i]);
        uint32_t cp = 0xFFFD;
        size_t extra = b < 0x80         ? 0
                       : (b >> 5) == 6  ? 1
                       : (b >> 4) == 14 ? 2
                       : (b >> 3) == 30 ? 3
                                        : 4; // a stray continuation or invalid lead byte
        if (extra == 0) {
            cp = b;
        } else if (extra <= 3 && i + extra < text.size()) {
            cp = b & (0x3Fu >> extra);
            for (size_t k = 1; k <= extra; ++k) {
                const auto c = static_cast<uint8_t>(text[i + k]);
                if ((c & 0xC0) != 0x80) {
                    cp = 0xFFFD;
                    extra = k - 1; // resume at the byte that broke the sequence
                    break;
                }
                cp = (cp << 6) | (c & 0x3F);
            }
        } else {
            extra = 0;
        }
        i += extra + 1;
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp > 0xFFFF ? 0xFFFD : cp));
        }
    }
    return out;
}

std::string Hex(const uint8_t* data, size_t size) {
    std::string out;
    char pair[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", data[i]);
        if (i)
            out.push_back(' ');
        out += pair;
    }
    return out;
}

std::optional<std::vector<uint8_t>> ParseHex(const std::string& text) {
    std::vector<uint8_t> out;
    std::string digits;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
            digits.empty()) {
            ++i;
            continue;
        }
        if (c == ' ' || c == ':' || c == ',' || c == '\t') {
            if (digits.size() == 1)
                return std::nullopt;
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        digits.push_back(c);
        if (digits.size() == 2) {
            out.push_back(static_cast<uint8_t>(std::strtoul(digits.c_str(), nullptr, 16)));
            digits.clear();
        }
    }
    if (!digits.empty())
        return std::nullopt;
    return out;
}

std::optional<uint32_t> ParseNumber(const std::string& text, uint32_t max) {
    return FruAddress::ParseNumber(text, max);
}

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04X", c);
                out += esc;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    return out + "\"";
}
size_t Width(const std::string& utf8) {
    const std::u16string wide = FromUtf8(utf8);
    size_t width = 0;
    for (char16_t c : wide) {
        const int w = wcwidth(static_cast<wchar_t>(c));
        width += w < 0 ? 1 : static_cast<size_t>(w);
    }
    return width;
}

std::string Padded(const std::string& utf8, size_t width) {
    const size_t w = Width(utf8);
    return w >= width ? utf8 : utf8 + std::string(width - w, ' ');
}

std::string FormatV(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

} // namespace Text
