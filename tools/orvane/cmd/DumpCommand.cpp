// orvane dump: a device's raw bytes to a file.
#include "app/Report.h"
#include "cmd/Commands.h"

#include "cmd/CommandSupport.h"
#include "device/GuardedWrite.h"
#include "device/RawImage.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace Commands {
int Dump(Session& s, const Options& o) {
    // --image names the one device: FRU 0 of the simulated BMC that serves it.
    const bool image = !o.image.empty();
    const std::string fru = image ? "2:0:20:FF:20:00" : o.operands[0];
    if (!LoadSource(s, o))
        return kExitLibrary;
    FruAddress address;
    std::optional<uint32_t> position;
    if (int code = ResolveDevice(s, fru, &address, &position, false))
        return code;
    std::vector<uint8_t> bytes;
    std::string source, error;
    if (const uint32_t status = RawImage::ReadWholeDevice(address, &bytes, &source)) {
        return Report::Fail(_("reading the device at %s failed (0x%08X)\n"),
                            address.Format().c_str(), status);
    }
    if (!RawImage::WriteFileSafely(o.operands.back(), bytes, &error)) {
        return Report::Fail("%s\n", error.c_str());
    }
    std::printf(_("wrote %zu bytes of %s to %s (%s)\n"), bytes.size(), address.Format().c_str(),
                o.operands.back().c_str(), source.c_str());
    return kExitOk;
}
} // namespace Commands
