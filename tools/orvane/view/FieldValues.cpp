#include "view/FieldValues.h"

#include "api/ImageModel.h"
#include "decode/FruNames.h"
#include "fru/ImageLayout.h"
#include "view/Spelling.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cctype>
#include <ctime>
#include <vector>

namespace FieldValues {
namespace {
constexpr int64_t kMaxMinutes = 0xFFFFFF;

// A one-area image (common header, then the area at offset 8) as the core's
// area classes read it: the library's own rendering of the area's first
// field.
std::string FirstFieldAsTheLibraryShowsIt(uint8_t areaPointerAt, std::vector<uint8_t> area) {
    std::vector<uint8_t> image = {0x01, 0, 0, 0, 0, 0, 0, 0};
    image[areaPointerAt] = 1;
    image[7] = ImageLayout::ZeroChecksum(std::span(image).first(7));
    area[1] = static_cast<uint8_t>(area.size() / 8);
    area.back() = ImageLayout::ZeroChecksum(std::span(area).first(area.size() - 1));
    image.insert(image.end(), area.begin(), area.end());
    const ImageModel::ImageView view = ImageModel::ParseImage(image, u"value");
    if (view.areas.empty() || view.areas[0].fields.empty())
        return "";
    return Text::ToUtf8(view.areas[0].fields[0].value.c_str());
}

std::string LibraryDate(uint32_t minutes) {
    return FirstFieldAsTheLibraryShowsIt(
        3, {0x01, 0, 0x00, static_cast<uint8_t>(minutes), static_cast<uint8_t>(minutes >> 8),
            static_cast<uint8_t>(minutes >> 16), 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC1, 0, 0, 0, 0});
}

std::string LibraryChassisName(uint8_t type) {
    return FirstFieldAsTheLibraryShowsIt(2, {0x01, 0, type, 0xC0, 0xC0, 0xC1, 0, 0});
}

std::vector<long> Numbers(const std::string& text) {
    std::vector<long> numbers;
    for (size_t i = 0; i < text.size();) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
            ++end;
        numbers.push_back(end - i > 6 ? -1 : std::stol(text.substr(i, end - i)));
        i = end;
    }
    return numbers;
}

// The date's parts in the order the library's date text gives them, learnt
// from a date whose parts all differ (2019-11-22 13:44:00). Nothing when
// the text does not have the library's form.
std::optional<std::tm> FromLibraryText(const std::string& text) {
    const std::string probe = LibraryDate(12566264); // 2019-11-22 13:44 UTC
    const std::vector<long> order = Numbers(probe), given = Numbers(text);
    if (order.size() != 6 || given.size() != 6)
        return std::nullopt;
    // The text must be the probe's form with other digits.
    const auto shape = [](std::string s) {
        for (char& c : s)
            if (std::isdigit(static_cast<unsigned char>(c)))
                c = '0';
        std::string squeezed;
        for (char c : s)
            if (c != '0' || squeezed.empty() || squeezed.back() != '0')
                squeezed += c;
        return squeezed;
    };
    if (shape(probe) != shape(text))
        return std::nullopt;
    std::tm t{};
    for (size_t i = 0; i < 6; ++i) {
        const long v = given[i];
        switch (order[i]) {
        case 2019:
            t.tm_year = static_cast<int>(v) - 1900;
            break;
        case 11:
            t.tm_mon = static_cast<int>(v) - 1;
            break;
        case 22:
            t.tm_mday = static_cast<int>(v);
            break;
        case 13:
            t.tm_hour = static_cast<int>(v);
            break;
        case 44:
            t.tm_min = static_cast<int>(v);
            break;
        default:
            t.tm_sec = static_cast<int>(v);
            break;
        }
    }
    return t;
}

std::optional<std::tm> FromIso8601(const std::string& text) {
    static const char* const kForms[] = {"%Y-%m-%dT%H:%M:%S", "%Y-%m-%d %H:%M:%S", "%Y-%m-%dT%H:%M",
                                         "%Y-%m-%d %H:%M", "%Y-%m-%d"};
    for (const char* form : kForms) {
        std::tm t{};
        const char* rest = strptime(text.c_str(), form, &t);
        if (rest && (std::string(rest).empty() || std::string(rest) == "Z" ||
                     std::string(rest) == "+00:00"))
            return t;
    }
    return std::nullopt;
}
} // namespace

std::optional<uint32_t> BoardMinutes(const std::string& text, std::string* problem) {
    if (auto n = Text::ParseNumber(text, kMaxMinutes))
        return *n;
    std::optional<std::tm> t = FromIso8601(text);
    if (!t)
        t = FromLibraryText(text);
    if (!t) {
        *problem = Text::Format(_("the manufacturing date is given as get prints it (\"%s\"), "
                                  "in ISO 8601 (\"2024-03-15T08:30Z\", \"2024-03-15\"; UTC) or "
                                  "as minutes since 1996-01-01"),
                                LibraryDate(14833950).c_str());
        return std::nullopt;
    }
    std::tm parts = *t;
    const int64_t seconds = static_cast<int64_t>(timegm(&parts));
    // timegm puts a day 31 of a 30-day month into the next month: refuse that.
    if (parts.tm_mday != t->tm_mday || parts.tm_mon != t->tm_mon || t->tm_sec != 0) {
        *problem = t->tm_sec != 0 ? _("the manufacturing date counts whole minutes")
                                  : _("the manufacturing date is no day of the calendar");
        return std::nullopt;
    }
    const int64_t minutes = (seconds - kBoardDateEpoch) / 60;
    if (seconds < kBoardDateEpoch || minutes > kMaxMinutes) {
        *problem = _("the manufacturing date lies outside 1996 to 2027");
        return std::nullopt;
    }
    return static_cast<uint32_t>(minutes);
}

std::optional<uint8_t> ChassisType(const std::string& text, uint8_t current) {
    if (auto n = Text::ParseNumber(text, 0xFF))
        return static_cast<uint8_t>(*n);
    // "Name (17h)", as show prints it: the number decides.
    if (const size_t open = text.rfind(" ("); open != std::string::npos &&
                                              text.size() == open + 6 &&
                                              text.compare(text.size() - 2, 2, "h)") == 0)
        if (auto n = Text::ParseNumber("0x" + text.substr(open + 2, 2), 0xFF))
            return static_cast<uint8_t>(*n);
    const auto names = [](uint8_t type, const std::string& name) {
        const char* smbios = FruNames::ChassisType(type);
        return Spelling::Same(LibraryChassisName(type), name) ||
               (smbios && (Spelling::Same(smbios, name) || Spelling::Same(_(smbios), name)));
    };
    if (names(current, text))
        return current;
    for (unsigned type = 0; type <= 0xFF; ++type)
        if (names(static_cast<uint8_t>(type), text))
            return static_cast<uint8_t>(type);
    return std::nullopt;
}
} // namespace FieldValues
