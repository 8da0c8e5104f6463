#include "app/DriverReasons.h"
#include "app/Report.h"
#include "view/Translate.h"

#include "api/DeviceAccess.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace DriverReasons {
namespace {
std::vector<std::string> g_reasons;

void Receive(const char* reason) {
    if (!reason)
        return;
    g_reasons.emplace_back(reason);
    if (const char* debug = std::getenv("ORVANE_IPMI_DEBUG"); debug && *debug && *debug != '0')
        Report::Say(_("driver: %s\n"), reason);
}
} // namespace

void Install() {
    DeviceAccess::SetDriverReasonSink(Receive);
}

const std::vector<std::string>& Collected() {
    return g_reasons;
}

std::string Meaning(uint32_t result) {
    switch (result) {
    case DeviceAccess::DriverResult::kNoDriver:
        return _("no driver module could be loaded");
    case DeviceAccess::DriverResult::kNoFunction:
        return _("the driver module lacks a driver function");
    case DeviceAccess::DriverResult::kTimeout:
        return _("no answer within the timeout");
    case DeviceAccess::DriverResult::kTransport:
        return _("transport failure");
    case DeviceAccess::DriverResult::kMalformed:
        return _("request malformed");
    case 0xFFFFFE08u:
        return _("the bridged controller stayed busy");
    default:
        return "";
    }
}

bool CheckController() {
    const size_t before = g_reasons.size();
    const uint32_t result = DeviceAccess::ProbeController();
    if (result == 0)
        return true;
    const std::string meaning = Meaning(result);
    // A BMC that answered but refused the session (credentials, privilege,
    // cipher suite, K_g) was reached.
    bool refused = false;
    for (size_t i = before; i < g_reasons.size(); ++i)
        refused = refused || g_reasons[i].starts_with("cannot open the IPMI session");
    Report::Say(refused && result != DeviceAccess::DriverResult::kTimeout
                    ? _("the BMC refused the session (0x%08X%s%s)\n")
                    : _("the BMC cannot be reached (0x%08X%s%s)\n"),
                result, meaning.empty() ? "" : ": ", meaning.c_str());
    // Reasons already shown with ORVANE_IPMI_DEBUG are not repeated.
    const char* debug = std::getenv("ORVANE_IPMI_DEBUG");
    if (!(debug && *debug && *debug != '0'))
        for (size_t i = before; i < g_reasons.size(); ++i)
            Report::Say(_("driver: %s\n"), g_reasons[i].c_str());
    if (g_reasons.size() == before)
        Report::Say(_("check --driver, --system, --host and the credentials "
                      "(ORVANE_DRIVER, ORVANE_SIM_SYSTEM, ORVANE_IPMI_*)\n"));
    return false;
}
} // namespace DriverReasons
