#include "Unreadable.h"

#include "RawImage.h"
#include "Text.h"

namespace Unreadable {

std::vector<CoreAccess::LocatedDevice> Devices() {
    std::vector<CoreAccess::LocatedDevice> failed;
    for (auto& d : CoreAccess::LocatedDevices())
        if (!d.read)
            failed.push_back(std::move(d));
    return failed;
}

void Print(std::FILE* out, const std::vector<CoreAccess::LocatedDevice>& devices) {
    if (devices.empty())
        return;
    std::fprintf(out, "unreadable:\n");
    for (const auto& d : devices)
        std::fprintf(out, "     %-20s %-18s 0x%08X %s\n", d.name.c_str(),
                     RawImage::FromDevice(d.address).Format().c_str(), d.status, d.message.c_str());
}

std::string Json(const std::vector<CoreAccess::LocatedDevice>& devices) {
    std::string text = "\"unreadable\": [";
    for (size_t i = 0; i < devices.size(); ++i) {
        const auto& d = devices[i];
        char status[16];
        std::snprintf(status, sizeof status, "0x%08X", d.status);
        text += std::string(i ? ", " : "") + "{\"name\": " + Text::JsonString(d.name) +
                ", \"address\": \"" + RawImage::FromDevice(d.address).Format() +
                "\", \"status\": \"" + status + "\", \"message\": " + Text::JsonString(d.message) +
                "}";
    }
    return text + "]";
}
} // namespace Unreadable
