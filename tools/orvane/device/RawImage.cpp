#include "device/RawImage.h"

#include "api/DeviceAccess.h"
#include "device/FileOperand.h"
#include "fru/ImageLayout.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace RawImage {
namespace {
constexpr uint32_t kEepromBytes = 256;     // AT24C02 and DS1624 hold 256 bytes
constexpr uint32_t kAddressable = 0x10000; // what two offset bytes reach
constexpr uint32_t kUnit = 8;

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// The end of the image the header describes: each info area by its length
// byte, the internal use area up to the next area, the multi-record chain
// by its records. Reads that fail end the search; the header alone is 8.
uint32_t ImageExtent(const FruAddress& d) {
    std::vector<uint8_t> h;
    if (DeviceAccess::ReadDevice(d, 0, kUnit, &h) != 0 || h.size() != kUnit)
        return 0;
    const ImageLayout::Header header = ImageLayout::ParseHeader(h);
    uint32_t extent = kUnit;
    if (header.storedChecksum != header.computedChecksum || header.formatVersion != 1)
        return extent;
    std::vector<uint8_t> bytes;
    for (int32_t kind : {ORVANE_AREA_CHASSIS, ORVANE_AREA_BOARD, ORVANE_AREA_PRODUCT})
        if (const uint32_t offset = header.Offset(kind);
            offset && DeviceAccess::ReadDevice(d, offset, 2, &bytes) == 0)
            extent = std::max(extent, offset + ImageLayout::InfoAreaLength(bytes));
    // The internal use area reaches to the first area after it in the image.
    if (header.internalUse)
        for (int32_t kind = ORVANE_AREA_CHASSIS; kind <= ORVANE_AREA_MULTIRECORD; ++kind)
            if (header.Offset(kind) > header.internalUse) {
                extent = std::max(extent, header.Offset(kind));
                break;
            }
    if (header.multiRecord) {
        uint32_t offset = header.multiRecord;
        while (offset + 3 <= kAddressable && DeviceAccess::ReadDevice(d, offset, 3, &bytes) == 0) {
            const ImageLayout::RecordExtent record = ImageLayout::Record(bytes);
            if (record.totalBytes == 0)
                break; // a short read
            offset += record.totalBytes;
            extent = std::max(extent, std::min(offset, kAddressable));
            if (record.last)
                break;
        }
    }
    return extent;
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// fsync, where the kind of file allows it (devices and pipes may not).
bool Sync(int fd) {
    return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
}

bool WriteSyncVerify(int fd, const std::string& path, const std::vector<uint8_t>& bytes,
                     std::string* error) {
    if (!WriteAll(fd, bytes)) {
        *error = SystemError("cannot write", path);
        return false;
    }
    if (!Sync(fd)) {
        *error = SystemError("cannot flush", path);
        return false;
    }
    std::vector<uint8_t> back;
    if (!ReadFile(path, &back, error))
        return false;
    if (back != bytes) {
        *error =
            path + " does not read back as written (differs at " + Differences(bytes, back) + ")";
        return false;
    }
    return true;
}
} // namespace

uint32_t DeviceLength(const FruAddress& address, uint32_t* length, std::string* source) {
    const FruAddress& d = address;
    uint32_t size = 0;
    if (DeviceAccess::DeviceSize(d, &size) == 0 && size > 0) {
        *length = size;
        *source = "the device's size from its controller";
        return 0;
    }
    if (address.nvsType == 0 || address.nvsType == 1) {
        *length = kEepromBytes;
        *source = "the size of the EEPROM";
        return 0;
    }
    *length = ImageExtent(d);
    *source = "the extent of the image (the controller did not give the device's size)";
    return *length ? 0 : ORVANE_E_DEVICE_READ;
}

uint32_t KnownDeviceSize(const FruAddress& address) {
    uint32_t size = 0;
    if (address.nvsType == 0 || address.nvsType == 1)
        return kEepromBytes;
    return DeviceAccess::DeviceSize(address, &size) == 0 ? size : 0;
}

uint32_t ReadWholeDevice(const FruAddress& address, std::vector<uint8_t>* bytes,
                         std::string* source) {
    uint32_t length = 0;
    if (const uint32_t status = DeviceLength(address, &length, source))
        return status;
    return DeviceAccess::ReadDevice(address, 0, length, bytes);
}

std::string Differences(const std::vector<uint8_t>& want, const std::vector<uint8_t>& have) {
    std::string text;
    const size_t end = std::max(want.size(), have.size());
    int shown = 0;
    for (size_t i = 0; i < end; ++i) {
        auto differs = [&](size_t k) {
            return k >= want.size() || k >= have.size() || want[k] != have[k];
        };
        if (!differs(i))
            continue;
        size_t last = i;
        while (last + 1 < end && differs(last + 1))
            ++last;
        if (++shown > 8) {
            text += ", ...";
            break;
        }
        char range[48];
        if (last == i)
            std::snprintf(range, sizeof range, "0x%04zX", i);
        else
            std::snprintf(range, sizeof range, "0x%04zX-0x%04zX", i, last);
        text += (text.empty() ? "" : ", ") + std::string(range);
        i = last;
    }
    return text;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    return FileOperand::Read(path, FileOperand::kTextBytes, bytes, error);
}

bool WriteNewFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = SystemError("cannot create", path);
        return false;
    }
    bool ok = WriteSyncVerify(fd, path, bytes, error);
    if (::close(fd) != 0 && ok) {
        *error = SystemError("cannot close", path);
        ok = false;
    }
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}

bool WriteFileSafely(const std::string& path, const std::vector<uint8_t>& bytes,
                     std::string* error) {
    if (*error = FileOperand::CheckOutput(path); !error->empty())
        return false;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            *error = SystemError("cannot open", path);
            return false;
        }
        bool ok = WriteAll(fd, bytes);
        if (!ok)
            *error = SystemError("cannot write", path);
        else if (!(ok = Sync(fd)))
            *error = SystemError("cannot flush", path);
        if (::close(fd) != 0 && ok) {
            *error = SystemError("cannot close", path);
            ok = false;
        }
        return ok;
    }
    const std::filesystem::path target(path);
    const std::string folder =
        target.has_parent_path() ? target.parent_path().string() : std::string(".");
    std::string temp = folder + "/." + target.filename().string() + ".orvane-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = SystemError("cannot create a temporary file in", folder);
        return false;
    }
    ::fchmod(fd, exists ? (st.st_mode & 07777) : 0644);
    bool ok = WriteSyncVerify(fd, temp, bytes, error);
    if (::close(fd) != 0 && ok) {
        *error = SystemError("cannot close", temp);
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        *error = SystemError("cannot rename the temporary file to", path);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
} // namespace RawImage
