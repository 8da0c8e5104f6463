// orvane write: a raw image file to a device.
#include "app/Report.h"
#include "cmd/Commands.h"

#include "cmd/CommandSupport.h"
#include "device/GuardedWrite.h"
#include "device/ImageCheck.h"
#include "device/RawImage.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace Commands {
int Write(Session& s, const Options& o) {
    std::vector<uint8_t> image;
    if (int code = ImageCheck::ReadAdmitted(o, o.operands[1], &image))
        return code;
    if (!LoadSource(s, o))
        return kExitLibrary;
    FruAddress address;
    std::optional<uint32_t> position;
    if (int code = ResolveDevice(s, o.operands[0], &address, &position, true))
        return code;
    if (o.dryRun)
        return ImageCheck::DryRun(address, image);
    return GuardedWrite::Write(s, o, {address, position}, image);
}
} // namespace Commands
