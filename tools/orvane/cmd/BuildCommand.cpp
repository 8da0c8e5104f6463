#include "app/Report.h"
#include "cmd/Commands.h"

#include "api/FruEdit.h"
#include "cmd/CommandSupport.h"
#include "device/RawImage.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>
#include <string>
#include <vector>

namespace Commands {
// The binary image of a configuration file: the common header and every
// area at its header offset, as a commit would lay the FRU on a device.
int Build(Session& s, const Options& o) {
    if (o.json)
        return BuildJson(s, o);
    if (!o.fru.empty())
        return Usage("build", _("--fru picks a FRU of a show --json document; it needs --json"));
    if (!LoadFile(s, o.operands[0]))
        return kExitLibrary;
    std::vector<uint8_t> image;
    if (!FruEdit::ImageOf(FruEdit::SelectedFru(), &image)) {
        return Report::Refused(_("the areas of %s overlap; no image is written\n"),
                               o.operands[0].c_str());
    }
    std::string error;
    if (!RawImage::WriteFileSafely(o.operands[1], image, &error)) {
        return Report::Fail("%s\n", error.c_str());
    }
    std::printf(_("wrote the %zu-byte image of %s to %s\n"), image.size(), o.operands[0].c_str(),
                o.operands[1].c_str());
    return kExitOk;
}
} // namespace Commands
