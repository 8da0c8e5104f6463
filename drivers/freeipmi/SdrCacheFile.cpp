#include "drivers/freeipmi/SdrCacheFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SdrCacheFile {
namespace {

constexpr char kMagic[8] = {'O', 'R', 'V', 'S', 'D', 'R', 'C', '1'};
constexpr size_t kMaxRecords = 4096;
constexpr size_t kMaxFileSize = 4 * 1024 * 1024;

// FNV-1a over the bytes: the file's check word.
uint32_t CheckWord(const uint8_t* bytes, size_t size) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

// Reads fields from the front of a byte range, each bounds-checked.
class Reader {
  public:
    Reader(const uint8_t* bytes, size_t size) : at_(bytes), end_(bytes + size) {}
    bool Byte(uint8_t* value) {
        if (at_ >= end_)
            return false;
        *value = *at_++;
        return true;
    }
    bool Word(uint16_t* value) {
        uint8_t low, high;
        if (!Byte(&low) || !Byte(&high))
            return false;
        *value = static_cast<uint16_t>(low | (high << 8));
        return true;
    }
    bool Take(size_t count, std::vector<uint8_t>* out) {
        if (static_cast<size_t>(end_ - at_) < count)
            return false;
        out->assign(at_, at_ + count);
        at_ += count;
        return true;
    }
    bool AtEnd() const { return at_ == end_; }

  private:
    const uint8_t* at_;
    const uint8_t* end_;
};

void PutWord(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

bool MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

} // namespace

bool Parse(const uint8_t* bytes, size_t size, Contents* contents) {
    if (!bytes || size < sizeof kMagic + 4 || std::memcmp(bytes, kMagic, sizeof kMagic) != 0)
        return false;
    size_t body = size - 4;
    uint32_t stored = bytes[body] | (bytes[body + 1] << 8) | (bytes[body + 2] << 16) |
                      (static_cast<uint32_t>(bytes[body + 3]) << 24);
    if (stored != CheckWord(bytes, body))
        return false;
    Reader in(bytes + sizeof kMagic, body - sizeof kMagic);
    Contents read;
    uint8_t stampSize = 0;
    uint16_t records = 0;
    if (!in.Byte(&stampSize) || !in.Take(stampSize, &read.stamp) || !in.Word(&records) ||
        records > kMaxRecords)
        return false;
    for (uint16_t i = 0; i < records; ++i) {
        Record record;
        uint8_t bodyLength = 0;
        if (!in.Word(&record.id) || !in.Word(&record.next) || !in.Byte(&bodyLength) ||
            !in.Take(5u + bodyLength, &record.bytes) || record.bytes[4] != bodyLength)
            return false;
        read.records.push_back(std::move(record));
    }
    uint8_t sizes = 0;
    if (!in.Byte(&sizes))
        return false;
    for (uint8_t i = 0; i < sizes; ++i) {
        SizeEntry entry;
        uint8_t bridged = 0;
        if (!in.Byte(&bridged) || bridged > 1 || !in.Byte(&entry.controller.channel) ||
            !in.Byte(&entry.controller.address) || !in.Byte(&entry.size.good) ||
            !in.Byte(&entry.size.bad))
            return false;
        entry.controller.bridged = bridged == 1;
        read.sizes.push_back(entry);
    }
    if (!in.AtEnd())
        return false;
    *contents = std::move(read);
    return true;
}

std::vector<uint8_t> Encode(const Contents& contents) {
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    size_t stampSize = std::min<size_t>(contents.stamp.size(), 255);
    out.push_back(static_cast<uint8_t>(stampSize));
    out.insert(out.end(), contents.stamp.begin(), contents.stamp.begin() + stampSize);
    std::vector<const Record*> records;
    for (const Record& record : contents.records)
        if (record.bytes.size() >= 5 && record.bytes.size() == 5u + record.bytes[4])
            records.push_back(&record);
    if (records.size() > kMaxRecords)
        records.resize(kMaxRecords);
    PutWord(out, static_cast<uint32_t>(records.size()), 2);
    for (const Record* record : records) {
        PutWord(out, record->id, 2);
        PutWord(out, record->next, 2);
        out.push_back(record->bytes[4]);
        out.insert(out.end(), record->bytes.begin(), record->bytes.end());
    }
    size_t sizes = std::min<size_t>(contents.sizes.size(), 255);
    out.push_back(static_cast<uint8_t>(sizes));
    for (size_t i = 0; i < sizes; ++i) {
        const SizeEntry& entry = contents.sizes[i];
        out.push_back(entry.controller.bridged ? 1 : 0);
        out.push_back(entry.controller.channel);
        out.push_back(entry.controller.address);
        out.push_back(entry.size.good);
        out.push_back(entry.size.bad);
    }
    PutWord(out, CheckWord(out.data(), out.size()), 4);
    return out;
}

std::string PathFor(const std::string& interface, const std::string& host) {
    std::string folder;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        folder = cache;
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        folder = std::string(home) + "/.cache";
    else
        return "";
    std::string name = interface;
    if (!host.empty()) {
        name += '-';
        for (char c : host)
            name += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-') ? c : '_';
    }
    return folder + "/orvane/sdr/" + name;
}

bool Load(const std::string& path, Contents* contents) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return false;
    std::vector<uint8_t> bytes;
    uint8_t buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0 &&
           bytes.size() + got <= kMaxFileSize)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(in);
    return Parse(bytes.data(), bytes.size(), contents);
}

bool Store(const std::string& path, const Contents& contents, std::string* why) {
    if (!MakeFolders(path)) {
        *why = "cannot create the folder of " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string temporary = path + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        *why = "cannot create a file beside " + path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> bytes = Encode(contents);
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    // No fsync: a file the machine lost half of fails its check word and is
    // fetched again, which is all a cache needs.
    bool ok = written == bytes.size();
    ok = close(fd) == 0 && ok;
    if (!ok || rename(temporary.c_str(), path.c_str()) != 0) {
        *why = "cannot write " + path + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace SdrCacheFile
