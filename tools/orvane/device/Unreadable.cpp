#include "device/Unreadable.h"

#include "api/DeviceAccess.h"
#include "api/ImageModel.h"
#include "device/RawImage.h"
#include "view/FruViews.h"
#include "view/Spelling.h"
#include "view/Text.h"
#include "view/Translate.h"

namespace Unreadable {

std::vector<DeviceAccess::LocatedDevice> Devices() {
    std::vector<DeviceAccess::LocatedDevice> failed;
    for (auto& d : DeviceAccess::LocatedDevices())
        if (!d.read)
            failed.push_back(std::move(d));
    return failed;
}

std::optional<DeviceAccess::LocatedDevice> Named(const std::string& designation) {
    const auto address = FruAddress::Parse(designation);
    std::optional<DeviceAccess::LocatedDevice> named;
    for (auto& d : DeviceAccess::LocatedDevices()) {
        const bool match = address ? d.address == *address
                                   : !d.name.empty() && Spelling::Same(d.name, designation);
        if (match && d.read)
            return std::nullopt;
        if (match && !named)
            named = std::move(d);
    }
    return named;
}

bool Describe(DeviceAccess::LocatedDevice* device, FruView* view) {
    const FruAddress address = device->address;
    std::vector<uint8_t> bytes;
    std::string source;
    if (const uint32_t status = RawImage::ReadWholeDevice(address, &bytes, &source)) {
        device->damaged = false;
        device->status = status;
        device->message = _("its raw bytes cannot be read either");
        return false;
    }
    *view = FruView();
    FruViews::Fill(ImageModel::ParseImage(bytes, Text::FromUtf8(device->name)), view);
    view->name = device->name;
    view->address = address;
    view->listed = false;
    view->editable = false;
    return true;
}

void Print(std::FILE* out, const std::vector<DeviceAccess::LocatedDevice>& devices) {
    for (const bool damaged : {true, false}) {
        bool heading = false;
        for (const auto& d : devices) {
            if (d.damaged != damaged)
                continue;
            if (!heading)
                std::fprintf(out, "%s\n", damaged ? _("damaged:") : _("unreadable:"));
            heading = true;
            std::fprintf(out, "     %s %-18s 0x%08X %s\n", Text::Padded(d.name, 20).c_str(),
                         d.address.Format().c_str(), d.status, d.message.c_str());
        }
    }
}

std::string Json(const std::vector<DeviceAccess::LocatedDevice>& devices) {
    std::string text;
    for (const bool damaged : {true, false}) {
        text += damaged ? "\"damaged\": [" : ", \"unreadable\": [";
        const char* separator = "";
        for (const auto& d : devices) {
            if (d.damaged != damaged)
                continue;
            char status[16];
            std::snprintf(status, sizeof status, "0x%08X", d.status);
            text += std::string(separator) + "{\"name\": " + Text::JsonString(d.name) +
                    ", \"address\": \"" + d.address.Format() + "\", \"status\": \"" + status +
                    "\", \"message\": " + Text::JsonString(d.message) + "}";
            separator = ", ";
        }
        text += "]";
    }
    return text;
}
} // namespace Unreadable
