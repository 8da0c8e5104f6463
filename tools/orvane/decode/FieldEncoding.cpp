#include "decode/FieldEncoding.h"

#include "support/Utf16.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <array>
#include <clocale>
#include <cstdio>
#include <cwchar>

namespace FieldEncoding {
namespace {
struct KindInfo {
    const char* key;
    const char* label;
};
constexpr std::array<KindInfo, 4> kKinds = {{{"binary", N_("binary")},
                                             {"bcd_plus", N_("BCD plus")},
                                             {"6bit_ascii", N_("6-bit ASCII")},
                                             {"8bit_text", N_("8-bit text")}}};

// BCD plus: a digit in each half of a byte, high half first.
constexpr char kBcdPlus[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                               '8', '9', ' ', '-', '.', '?', '?', '?'};
// 6-bit ASCII codes 0 to 63 stand for the characters 0x20 to 0x5F.
constexpr uint8_t kSixBitBase = 0x20;
constexpr uint8_t kSixBitMask = 0x3F;

std::string BcdPlus(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (uint8_t b : bytes) {
        out.push_back(kBcdPlus[b >> 4]);
        out.push_back(kBcdPlus[b & 0x0F]);
    }
    return out;
}

// Characters are packed from the lowest bits of the first byte upwards.
std::string SixBit(const std::vector<uint8_t>& bytes) {
    std::string out;
    const size_t characters = bytes.size() * 8 / 6;
    for (size_t c = 0; c < characters; ++c) {
        const size_t bit = c * 6;
        uint32_t window = bytes[bit / 8];
        if (bit / 8 + 1 < bytes.size())
            window |= static_cast<uint32_t>(bytes[bit / 8 + 1]) << 8;
        out.push_back(static_cast<char>(kSixBitBase + ((window >> (bit % 8)) & kSixBitMask)));
    }
    return out;
}

// 8-bit text is read as UTF-8 whatever the running locale, so a value reads
// the same in every locale; a byte that is not part of a UTF-8 character is
// the character of its value (Latin-1), so nothing is lost.
std::string Utf8Text(const std::vector<uint8_t>& bytes) {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    const locale_t running = utf8 ? uselocale(utf8) : nullptr;
    std::string out;
    std::mbstate_t state{};
    size_t i = 0;
    while (i < bytes.size()) {
        wchar_t wc = 0;
        const size_t n = std::mbrtowc(&wc, reinterpret_cast<const char*>(bytes.data() + i),
                                      bytes.size() - i, &state);
        if (n == 0 || n > bytes.size() - i) { // NUL, or a byte the locale cannot convert
            Utf16::AppendUtf8(out, bytes[i]);
            state = std::mbstate_t{};
            ++i;
            continue;
        }
        Utf16::AppendUtf8(out, static_cast<char32_t>(wc));
        i += n;
    }
    if (running)
        uselocale(running);
    return out;
}

std::optional<uint8_t> BcdCode(char c) {
    for (uint8_t code = 0; code < 13; ++code)
        if (kBcdPlus[code] == c)
            return code;
    return std::nullopt;
}
} // namespace

Kind KindOf(uint8_t typeLength) {
    return static_cast<Kind>(typeLength >> 6);
}

uint8_t TypeBits(Kind kind) {
    return static_cast<uint8_t>(static_cast<uint8_t>(kind) << 6);
}

const char* Key(Kind kind) {
    return kKinds[static_cast<size_t>(kind)].key;
}

const char* Label(Kind kind) {
    return kKinds[static_cast<size_t>(kind)].label;
}

std::string Decode(Kind kind, const std::vector<uint8_t>& bytes) {
    switch (kind) {
    case Kind::Binary:
        return Text::Hex(bytes.data(), bytes.size());
    case Kind::BcdPlus:
        return BcdPlus(bytes);
    case Kind::SixBitAscii:
        return SixBit(bytes);
    case Kind::Text:
        break;
    }
    return Utf8Text(bytes);
}

std::optional<std::vector<uint8_t>> Encode(Kind kind, const std::string& text) {
    std::vector<uint8_t> out;
    if (kind == Kind::BcdPlus) {
        for (size_t i = 0; i < text.size(); i += 2) {
            const auto high = BcdCode(text[i]);
            const auto low = i + 1 < text.size() ? BcdCode(text[i + 1]) : BcdCode(' ');
            if (!high || !low)
                return std::nullopt;
            out.push_back(static_cast<uint8_t>(*high << 4 | *low));
        }
    } else if (kind == Kind::SixBitAscii) {
        out.assign((text.size() * 6 + 7) / 8, 0);
        for (size_t c = 0; c < text.size(); ++c) {
            const auto ch = static_cast<uint8_t>(text[c]);
            if (ch < kSixBitBase || ch > kSixBitBase + kSixBitMask)
                return std::nullopt;
            const uint32_t code = static_cast<uint32_t>(ch - kSixBitBase) << ((c * 6) % 8);
            out[c * 6 / 8] |= static_cast<uint8_t>(code);
            if (code > 0xFF)
                out[c * 6 / 8 + 1] |= static_cast<uint8_t>(code >> 8);
        }
    } else {
        return std::nullopt;
    }
    // The last byte may hold room for one more character, which reads as a blank.
    const std::string back = Decode(kind, out);
    if (back != text && back != text + " ")
        return std::nullopt;
    return out;
}
} // namespace FieldEncoding
