#include "Commands.h"

#include "Backup.h"
#include "CommandSupport.h"
#include "Render.h"
#include "Text.h"
#include "Unreadable.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace Commands {
int Show(Session& s, const Options& o) {
    if (o.operands.size() > 1 || (!o.file.empty() && !o.operands.empty()))
        return Usage("show", "takes one FRU, or --file CFG");
    if (!LoadSource(s, o))
        return kExitLibrary;
    std::vector<FruView> frus;
    std::vector<CoreAccess::LocatedDevice> unreadable;
    if (!o.file.empty() || !o.operands.empty()) {
        uint32_t position = 0;
        if (!SelectTarget(s, o, o.operands.empty() ? nullptr : &o.operands[0], &position))
            return kExitLibrary;
        frus.resize(1);
        if (!s.Describe(position, &frus[0]))
            return kExitLibrary;
    } else {
        frus.resize(s.Count());
        for (uint32_t i = 0; i < frus.size(); ++i)
            if (!s.Describe(i, &frus[i]))
                return kExitLibrary;
        unreadable = Unreadable::Devices();
    }
    if (o.json) {
        Render::Json(stdout, frus,
                     o.file.empty() && o.operands.empty() ? Unreadable::Json(unreadable) : "");
    } else {
        for (size_t i = 0; i < frus.size(); ++i) {
            if (i)
                std::printf("\n");
            Render::Plain(stdout, frus[i]);
        }
        if (!unreadable.empty())
            std::printf("\n");
        Unreadable::Print(stdout, unreadable);
    }
    return unreadable.empty() ? kExitOk : kExitPartial;
}

int Load(Session& s, const Options& o) {
    if (o.operands.size() != 1)
        return Usage("load", "takes CFG");
    Options file = o;
    file.file = o.operands[0];
    file.operands.clear();
    return Show(s, file);
}
} // namespace Commands
