#include "input/FieldStore.h"

#include "view/Text.h"
#include "view/Translate.h"

namespace FieldStore {
namespace {
// The longest text a type/length byte can announce.
constexpr size_t kMaxFieldBytes = 63;
} // namespace

FieldEncoding::Kind KindOfKey(const std::string& key) {
    for (uint8_t code = 0; code < 4; ++code)
        if (key == FieldEncoding::Key(static_cast<FieldEncoding::Kind>(code)))
            return static_cast<FieldEncoding::Kind>(code);
    return FieldEncoding::Kind::Text;
}

std::string Encode(const std::string& value, std::optional<FieldEncoding::Kind> forced,
                   FieldEncoding::Kind current, std::vector<uint8_t>* bytes, uint8_t* typeBits) {
    using Kind = FieldEncoding::Kind;
    const Kind wanted = forced ? *forced : current;
    std::optional<std::vector<uint8_t>> packed;
    if (wanted == Kind::BcdPlus || wanted == Kind::SixBitAscii)
        packed = FieldEncoding::Encode(wanted, value);
    if (forced && wanted != Kind::Text && !packed)
        return Text::Format(_("\"%s\" cannot be stored as %s"), value.c_str(),
                            _(FieldEncoding::Label(wanted)));
    const Kind kind = packed ? wanted : Kind::Text;
    *bytes = packed ? *packed : std::vector<uint8_t>(value.begin(), value.end());
    *typeBits = FieldEncoding::TypeBits(kind);
    if (bytes->size() > kMaxFieldBytes)
        return Text::Format(_("\"%s\" takes %zu bytes as %s; a field holds at most 63"),
                            value.c_str(), bytes->size(), _(FieldEncoding::Label(kind)));
    if (bytes->size() == 1 && kind == Kind::Text)
        return _("a one-byte 8-bit text is stored with the type/length byte 0xC1, which FRU "
                 "readers take as the end of the area");
    return "";
}
} // namespace FieldStore
