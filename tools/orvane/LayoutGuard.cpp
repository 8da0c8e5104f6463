#include "LayoutGuard.h"

#include "FieldNames.h"

namespace LayoutGuard {
namespace {
// 65536 as "65,536".
std::string Thousands(uint32_t n) {
    std::string digits = std::to_string(n), text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}
} // namespace

std::string Problems(const CoreAccess::CommitLayout& layout, uint32_t deviceLength) {
    std::string moved;
    for (const auto& area : layout.areas)
        if (area.headerOffset != area.commitOffset)
            moved += "  " + std::string(FieldNames::AreaKey(area.kind)) + " area: header offset " +
                     std::to_string(area.headerOffset) + ", the commit would write it at " +
                     std::to_string(area.commitOffset) + "\n";
    if (!moved.empty())
        return "a commit writes the areas one after the other from offset 8 (internal use, "
               "chassis, board, product, multi-record), but the common header places them "
               "elsewhere:\n" +
               moved;
    if (layout.end > kAddressableBytes)
        return "the image would end at byte " + Thousands(layout.end) + ", past the " +
               Thousands(kAddressableBytes) + " bytes a FRU device can address\n";
    if (deviceLength && layout.end > deviceLength)
        return "the image needs " + Thousands(layout.end) + " bytes and the device holds " +
               Thousands(deviceLength) + "\n";
    return "";
}
} // namespace LayoutGuard
