#include "device/Unreadable.h"

#include "api/DeviceAccess.h"
#include "api/ImageModel.h"
#include "device/RawImage.h"
#include "view/FruViews.h"
#include "view/Render.h"
#include "view/Spelling.h"
#include "view/Text.h"
#include "view/Translate.h"

namespace Unreadable {

bool Any(const std::vector<Positions::Slot>& slots) {
    for (const auto& slot : slots)
        if (!slot.index)
            return true;
    return false;
}

std::optional<size_t> Named(const Session& s, const std::string& designation) {
    size_t at = 0;
    const Positions::Slot* slot = Positions::Find(s.Slots(), designation, &at);
    if (!slot || slot->index)
        return std::nullopt;
    return at;
}

bool Describe(DeviceAccess::LocatedDevice* device, uint32_t position, FruView* view) {
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
    // The library refused the device's image at the load.
    FruViews::FillSalvaged(bytes, Text::FromUtf8(device->name), view);
    view->position = position;
    view->name = device->name;
    view->address = address;
    return true;
}

void Print(std::FILE* out, const std::vector<Positions::Slot>& slots) {
    for (const bool damaged : {true, false}) {
        bool heading = false;
        for (size_t i = 0; i < slots.size(); ++i) {
            const auto& d = slots[i].device;
            if (slots[i].index || d.damaged != damaged)
                continue;
            if (!heading)
                std::fprintf(out, "%s\n", damaged ? _("damaged:") : _("unreadable:"));
            heading = true;
            std::fprintf(out, "%3zu  %s %-18s 0x%08X %s\n", i, Text::Padded(d.name, 20).c_str(),
                         d.address.Format().c_str(), d.status, d.message.c_str());
        }
    }
}

JsonWriter::Value Json(const std::vector<Positions::Slot>& slots) {
    JsonWriter::Value members = JsonWriter::Value::object();
    for (const bool damaged : {true, false}) {
        JsonWriter::Value list = JsonWriter::Value::array();
        for (size_t i = 0; i < slots.size(); ++i) {
            const auto& d = slots[i].device;
            if (slots[i].index || d.damaged != damaged)
                continue;
            char status[16];
            std::snprintf(status, sizeof status, "0x%08X", d.status);
            const std::string id = Positions::IdName(d.address);
            list.push_back({{"position", i},
                            {"id", id.empty() ? JsonWriter::Value(nullptr) : JsonWriter::Value(id)},
                            {"name", d.name},
                            {"address", Render::JsonAddress(d.address)},
                            {"status", status},
                            {"message", d.message}});
        }
        members[damaged ? "damaged" : "unreadable"] = std::move(list);
    }
    return members;
}
} // namespace Unreadable
