#include "cmd/Commands.h"

#include "cmd/CommandSupport.h"
#include "device/Backup.h"
#include "view/JsonWriter.h"
#include "view/Render.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace Commands {
int Check(Session& s, const Options& o) {
    const auto a = FruAddress::Parse(o.operands[0]);
    if (!a)
        return Usage("check", Text::Format(_("\"%s\" is not an address T:L:DA:B:CA:ID"),
                                           o.operands[0].c_str()));
    if (uint32_t status = FindFruAtAddressAndChecksumHeader(
            s.Api(), a->nvsType, a->lun, a->deviceAddress, a->bus, a->controller, a->deviceId);
        status != ORVANE_OK)
        return s.Fail(Text::Format(_("checking the FRU at %s"), a->Format().c_str()), status);
    if (o.json) {
        std::printf("%s\n", JsonWriter::Inline(
                                {{"address", Render::JsonAddress(*a)}, {"valid_header", true}})
                                .c_str());
        Report::Printed();
        return kExitOk;
    }
    std::printf(_("%s: the common header is a valid IPMI FRU header\n"), a->Format().c_str());
    return kExitOk;
}
} // namespace Commands
