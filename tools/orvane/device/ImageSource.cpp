#include "device/ImageSource.h"

#include "device/FileOperand.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {
// SDR device id strings hold at most 16 characters.
constexpr size_t kMaxNameBytes = 16;
} // namespace

ImageSource::~ImageSource() {
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
}

bool ImageSource::Open(const std::string& file, std::string* error) {
    std::error_code ec;
    path = std::filesystem::absolute(file, ec).string();
    std::vector<uint8_t> bytes;
    if (ec || !Read(&bytes, error))
        return false;
    fileName = std::filesystem::path(file).filename().string();
    // The controller's record carries at most 16 bytes of it.
    const std::string name = fileName.substr(0, kMaxNameBytes);
    char pattern[] = "/tmp/orvane-image-XXXXXX";
    if (!mkdtemp(pattern)) {
        *error = std::string(_("cannot create a temporary folder: ")) + std::strerror(errno);
        return false;
    }
    folder = pattern;
    const std::string json =
        "{\"ipmi_version\": \"0x51\", \"controllers\": [{\"address\": \"0x20\", "
        "\"fru_devices\": [{\"id\": 0, \"image\": " +
        Text::JsonString(path) + "}]}], \"sdr\": [{\"type\": \"mc_locator\", \"address\": " +
        "\"0x20\", \"name\": " + Text::JsonString(name) + "}]}\n";
    const std::string description = folder + "/system.json";
    std::ofstream out(description);
    out << json;
    out.close();
    if (!out) {
        *error = std::string(_("cannot write ")) + description;
        return false;
    }
    setenv("ORVANE_SIM_SYSTEM", description.c_str(), 1);
    setenv("ORVANE_DRIVER", "sim", 1);
    return true;
}

bool ImageSource::Read(std::vector<uint8_t>* bytes, std::string* error) const {
    if (!FileOperand::Read(path, FileOperand::kImageBytes, bytes, error))
        return false;
    if (bytes->empty()) {
        *error = path + ": " + _("the file is empty");
        return false;
    }
    return true;
}
