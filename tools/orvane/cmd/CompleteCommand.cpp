#include "cmd/Commands.h"

#include "cmd/CommandSupport.h"

#include "view/Translate.h"

#include <cstdio>
#include <string>

namespace Commands {
// orvane __complete frus: the names of the located FRU devices; orvane
// __complete fields FRU: the field names of a FRU. A line each, nothing
// else, for the completion scripts (which run it with --quiet).
int Complete(Session& s, const Options& o) {
    const std::string& what = o.operands[0];
    if (what == "frus" && o.operands.size() == 1 && !o.SingleFru()) {
        if (!s.LoadSystem())
            return kExitLibrary;
        for (const auto& slot : s.Slots())
            if (!slot.device.name.empty())
                std::printf("%s\n", slot.device.name.c_str());
        return kExitOk;
    }
    if (what != "fields" || o.operands.size() != (o.SingleFru() ? 1u : 2u))
        return Usage("__complete", _("takes frus, or fields FRU"));
    if (!LoadSource(s, o))
        return kExitLibrary;
    uint32_t position = 0;
    FruView view;
    const std::string* fru = o.SingleFru() ? nullptr : &o.operands[1];
    if (!DescribeTarget(s, o, fru, &position, &view))
        return kExitLibrary;
    for (const ImageModel::AreaImage& area : view.image.areas)
        for (size_t i = 0; i < area.fields.size(); ++i)
            std::printf("%s\n", FruViews::Key(area, i).c_str());
    return kExitOk;
}
} // namespace Commands
