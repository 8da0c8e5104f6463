#include "support/CatalogueSignatures.h"

namespace CatalogueSignatures {
namespace {

struct Signature {
    uint32_t index;
    const char* arguments;
};

// Every entry that takes arguments; every other index is a plain text.
constexpr Signature kSignatures[] = {
    {35, "nnnnnn"}, // board manufacturing date: month, day, year, hour, minute, second
    {63, "nn"},     // progress: FRUs read, FRUs found
    {64, "w"},      // progress: writing a FRU (its identifier)
    {89, "a"},      // configuration reader failures: the file path ...
    {90, "wa"},     // ... and the item or area name first
    {94, "wa"},     {95, "wa"}, {96, "wa"},
    {97, "wa"},     {98, "a"},  {100, "a"}, // configuration writer: the file path
    {104, "w"},                             // invalid areas and header: the FRU's display name
    {105, "w"},     {106, "w"}, {107, "w"},
    {108, "w"},     {109, "w"}, {113, "w"}, // writing a FRU failed: its display name
    {134, "nnnn"}, // FRU display name: device id, controller, device address, bus
    {137, "w"},    // a field's data too long: the field's title
};

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Skips at most kMaxFieldDigits digits at text[j]; false when there are more.
bool SkipDigits(const char16_t* text, size_t length, size_t& j) {
    size_t digits = 0;
    while (j < length && IsDigit(text[j])) {
        ++j;
        ++digits;
    }
    return digits <= kMaxFieldDigits;
}

std::string Narrow(const char16_t* text, size_t from, size_t to) {
    std::string out;
    for (size_t i = from; i < to; ++i)
        out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    return out;
}

} // namespace

const char* Arguments(uint32_t index) {
    for (const Signature& s : kSignatures)
        if (s.index == index)
            return s.arguments;
    return "";
}

bool Directives(const char16_t* text, size_t length, std::string& kinds, std::string& error) {
    kinds.clear();
    for (size_t i = 0; i < length; ++i) {
        if (text[i] != u'%')
            continue;
        size_t j = i + 1;
        while (j < length && (text[j] == u'-' || text[j] == u'+' || text[j] == u' ' ||
                              text[j] == u'#' || text[j] == u'0'))
            ++j;
        bool bounded = SkipDigits(text, length, j);
        if (j < length && text[j] == u'.') {
            ++j;
            bounded = SkipDigits(text, length, j) && bounded;
        }
        char16_t size = 0;
        if (j < length && (text[j] == u'l' || text[j] == u'h'))
            size = text[j++];
        if (j >= length) {
            error = "has an unfinished directive";
            return false;
        }
        const char16_t c = text[j];
        if (!bounded) {
            error = "has a width or precision over " + std::to_string(kMaxFieldDigits) +
                    " digits in '" + Narrow(text, i, j + 1) + "'";
            return false;
        }
        if (c == u'%' && j == i + 1) {
            error = "uses '%%'; write the text without it";
            return false;
        }
        if (size == 0 && (c == u'd' || c == u'i' || c == u'u' || c == u'x' || c == u'X'))
            kinds += kNumber;
        else if (size == u'l' && c == u's')
            kinds += kWide;
        else if (size == u'h' && c == u's')
            kinds += kNarrow;
        else {
            error = "has the unsupported directive '" + Narrow(text, i, j + 1) + "'";
            return false;
        }
        i = j;
    }
    return true;
}

bool Fits(uint32_t index, const char16_t* text, size_t length, std::string& error) {
    std::string kinds;
    if (!Directives(text, length, kinds, error))
        return false;
    const std::string want = Arguments(index);
    if (kinds == want)
        return true;
    error = "takes arguments \"" + want + "\" but its directives are \"" + kinds +
            "\" (n number, w %ls, a %hs)";
    return false;
}

} // namespace CatalogueSignatures
