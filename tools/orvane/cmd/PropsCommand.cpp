#include "cmd/Commands.h"

#include "app/DriverReasons.h"
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
namespace {
// The BMC session the driver module opened, as it told it: "lanplus
// HOST, cipher suite 17 (...), privilege user"; "" for a driver without one
// (the simulated BMC). A session raised for a write tells its last level.
std::string SessionLine() {
    constexpr std::string_view kOpened = "session opened: ";
    std::string line;
    for (const std::string& reason : DriverReasons::Collected())
        if (reason.starts_with(kOpened))
            line = reason.substr(kOpened.size());
    return line;
}
} // namespace

int Props(Session& s, const Options& o) {
    // The counts describe the loaded system, so the system is loaded first.
    // Without looking for the BMC's FRU 0 beyond the SDR: the library's counts.
    if (!s.LoadSystem(false))
        return kExitLibrary;
    if (uint32_t status = LoadPropertiesFromSystem(s.Api()); status != ORVANE_OK)
        return s.Fail(_("reading the system properties"), status);
    uint32_t count = 0;
    GetNumberOfProperties(s.Api(), &count);
    JsonWriter::Value properties = JsonWriter::Value::array();
    for (uint32_t i = 0; i < count; ++i) {
        const OrvaneChar* title = nullptr;
        const OrvaneChar* value = nullptr;
        SelectProperty(s.Api(), i);
        GetPropertyTitle(s.Api(), &title);
        GetPropertyValue(s.Api(), &value);
        if (o.json)
            properties.push_back({{"title", Text::ToUtf8(title)}, {"value", Text::ToUtf8(value)}});
        else
            std::printf("%s: %s\n", Text::ToUtf8(title).c_str(), Text::ToUtf8(value).c_str());
    }
    const std::string session = SessionLine();
    if (o.json) {
        JsonWriter::Value document = {{"properties", std::move(properties)}};
        if (!session.empty())
            document["session"] = session;
        std::printf("%s\n", JsonWriter::Inline(document).c_str());
        Report::Printed();
    } else if (!session.empty()) {
        std::printf("%s: %s\n", _("BMC session"), session.c_str());
    }
    return kExitOk;
}
} // namespace Commands
