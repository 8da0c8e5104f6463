// orvane dump and orvane write: a device's raw bytes to a file and back, and
// the raw half of orvane restore.
#include "app/Report.h"
#include "cmd/Commands.h"

#include "api/CoreAccess.h"
#include "cmd/CommandSupport.h"
#include "device/Backup.h"
#include "device/GuardedWrite.h"
#include "device/RawImage.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Commands {
namespace {
// The device a command names: a position or name of a FRU read, the name of
// a located device that could not be read, or an address. *position is the
// system list's FRU of that device, when there is one (then selected).
bool ResolveDevice(Session& s, const std::string& designation, FruAddress* address,
                   std::optional<uint32_t>* position) {
    const auto parsed = FruAddress::Parse(designation);
    if (parsed) {
        *address = *parsed;
    } else {
        for (const auto& d : CoreAccess::LocatedDevices())
            if (!d.read && d.name == designation) {
                *address = RawImage::FromDevice(d.address);
                return true;
            }
        uint32_t at = 0;
        if (!s.SelectFru(designation, &at))
            return false;
        s.SelectedAddress(address);
    }
    for (uint32_t i = 0; i < s.Count(); ++i) {
        FruAddress a;
        if (SelectFru(s.Api(), i) == ORVANE_OK && s.SelectedAddress(&a) && a == *address) {
            *position = i;
            return true;
        }
    }
    return true;
}

// The address in a backup's name: <time>-T-L-DA-B-CA-ID[-n].bin.
std::optional<FruAddress> AddressInName(const std::string& path) {
    std::vector<std::string> parts;
    std::string stem = std::filesystem::path(path).stem().string(), part;
    for (char c : stem + "-") {
        if (c == '-') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (parts.size() != 7 && parts.size() != 8)
        return std::nullopt;
    return FruAddress::Parse(parts[1] + ":" + parts[2] + ":" + parts[3] + ":" + parts[4] + ":" +
                             parts[5] + ":" + parts[6]);
}
} // namespace

int Dump(Session& s, const Options& o) {
    // --image names the one device: FRU 0 of the simulated BMC that serves it.
    const bool image = !o.image.empty();
    const std::string fru = image ? "2:0:20:FF:20:00" : o.operands[0];
    if (!LoadSource(s, o))
        return kExitLibrary;
    FruAddress address;
    std::optional<uint32_t> position;
    if (!ResolveDevice(s, fru, &address, &position))
        return kExitLibrary;
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

int Write(Session& s, const Options& o) {
    std::vector<uint8_t> image;
    std::string error;
    if (!RawImage::ReadFile(o.operands[1], &image, &error)) {
        return Report::Fail("%s\n", error.c_str());
    }
    if (!LoadSource(s, o))
        return kExitLibrary;
    FruAddress address;
    std::optional<uint32_t> position;
    if (!ResolveDevice(s, o.operands[0], &address, &position))
        return kExitLibrary;
    return GuardedWrite::Write(s, o, {address, position}, image);
}

int RestoreImage(Session& s, const Options& o) {
    std::vector<uint8_t> image;
    std::string error;
    if (!RawImage::ReadFile(o.operands[0], &image, &error)) {
        return Report::Fail("%s\n", error.c_str());
    }
    const auto named = AddressInName(o.operands[0]);
    if (o.operands.size() == 1 && !named)
        return Usage("restore", Text::Format(_("cannot tell the device from the name %s; name "
                                               "it: orvane restore FILE.bin FRU"),
                                             o.operands[0].c_str()));
    if (!LoadSource(s, o))
        return kExitLibrary;
    FruAddress address = named ? *named : FruAddress{};
    std::optional<uint32_t> position;
    if (o.operands.size() == 2) {
        if (!ResolveDevice(s, o.operands[1], &address, &position))
            return kExitLibrary;
    } else if (!ResolveDevice(s, address.Format(), &address, &position)) {
        return kExitLibrary;
    }
    return GuardedWrite::Write(s, o, {address, position}, image);
}
} // namespace Commands
