#include "support/CatalogueSignatures.h"

#include "support/MessageIds.h"

namespace CatalogueSignatures {
namespace {

struct Signature {
    uint32_t index;
    const char* arguments;
};

// Every entry that takes arguments; every other index is a plain text.
constexpr Signature kSignatures[] = {
    // The board's manufacturing date: month, day, year, hour, minute, second.
    {kMsgDateFormat, "nnnnnn"},
    // Progress: FRUs read and found; the identifier of the FRU being written.
    {kMsgReadCount, "nn"},
    {kMsgWriting, "w"},
    // The configuration reader's failures: the file path, and first the item
    // or area name where there is one; the writer's: the file path.
    {kMsgFileCannotOpen, "a"},
    {kMsgFileBadItem, "wa"},
    {kMsgFileMissingTag, "wa"},
    {kMsgFileAreaTooBig, "wa"},
    {kMsgFileBadCharacter, "wa"},
    {kMsgFileBadArea, "wa"},
    {kMsgFileEnded, "a"},
    {kMsgFileWriteError, "a"},
    // Invalid areas and header, and a failed write: the FRU's display name.
    {kMsgBadInternal, "w"},
    {kMsgBadProduct, "w"},
    {kMsgBadBoard, "w"},
    {kMsgBadChassis, "w"},
    {kMsgBadMultiRec, "w"},
    {kMsgBadHeader, "w"},
    {kMsgSystemWriteError, "w"},
    // A FRU's display name: device id, controller, device address, bus.
    {kMsgFruName, "nnnn"},
    // A field's data too long: the field's title.
    {kMsgTooLong, "w"},
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
