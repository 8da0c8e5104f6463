#include "Commands.h"

#include "Backup.h"
#include "CommandSupport.h"
#include "Render.h"
#include "Text.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace Commands {
int Check(Session& s, const Options& o) {
    if (o.operands.size() != 1)
        return Usage("check", "takes ADDRESS");
    const auto a = FruAddress::Parse(o.operands[0]);
    if (!a)
        return Usage("check", "\"" + o.operands[0] + "\" is not an address T:L:DA:B:CA:ID");
    if (uint32_t status = FindFruAtAddressAndChecksumHeader(
            s.Api(), a->nvsType, a->lun, a->deviceAddress, a->bus, a->controller, a->deviceId);
        status != ORVANE_OK)
        return s.Fail("checking the FRU at " + a->Format(), status);
    std::printf("%s: the common header is a valid IPMI FRU header\n", a->Format().c_str());
    return kExitOk;
}
} // namespace Commands
