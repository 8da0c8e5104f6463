#include "device/LayoutGuard.h"

#include "api/FruEdit.h"
#include "view/FieldNames.h"
#include "view/Text.h"
#include "view/Translate.h"

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

std::string Problems(const FruEdit::CommitLayout& layout, uint32_t deviceLength) {
    std::string moved;
    for (const auto& area : layout.areas)
        if (area.headerOffset != area.commitOffset)
            moved +=
                Text::Format(_("  %s area: header offset %u, the commit would write it at %u\n"),
                             FieldNames::AreaKey(area.kind), area.headerOffset, area.commitOffset);
    if (!moved.empty())
        return _("a commit writes the areas one after the other from offset 8 (internal use, "
                 "chassis, board, product, multi-record), but the common header places them "
                 "elsewhere:\n") +
               moved;
    if (layout.end > kAddressableBytes)
        return Text::Format(_("the image would end at byte %s, past the %s bytes a FRU device "
                              "can address\n"),
                            Thousands(layout.end).c_str(), Thousands(kAddressableBytes).c_str());
    if (deviceLength && layout.end > deviceLength)
        return Text::Format(_("the image needs %s bytes and the device holds %s\n"),
                            Thousands(layout.end).c_str(), Thousands(deviceLength).c_str());
    return "";
}
} // namespace LayoutGuard
