#include "support/StringResource.h"

#include "support/CatalogueSignatures.h"
#include "support/InstallPaths.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>

namespace {
constexpr const char16_t* kOpenName = u"StringResource::Open";

// Catalogue paths are relative to the current directory; when nothing is
// there, $ORVANE_DATA_DIR and then the installed data folder are tried.
std::FILE* OpenCatalogue(const std::string& relative) {
    if (std::FILE* f = std::fopen(relative.c_str(), "rb"))
        return f;
    if (!relative.empty() && relative[0] == '/')
        return nullptr;
    if (const char* dir = std::getenv("ORVANE_DATA_DIR"); dir && *dir)
        if (std::FILE* f = std::fopen((std::string(dir) + "/" + relative).c_str(), "rb"))
            return f;
    return std::fopen((InstallPaths::DataFolder() + "/" + relative).c_str(), "rb");
}

uint32_t Le32(const unsigned char* b) {
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// The failure line of a reader code; the entry's own reason is traced where
// it is found.
const char16_t* Reason(uint32_t code) {
    switch (code) {
    case StringResource::kNoPath:
        return u"No Path";
    case StringResource::kNoMemory:
        return u"Memory Allocation Error";
    case StringResource::kPathCopy:
        return u"Path Conversion Error";
    case StringResource::kOpen:
        return u"Error Opening File";
    case StringResource::kChecksum:
        return u"Checksum Error";
    case StringResource::kEmpty:
        return u"No Strings";
    case StringResource::kBadOffset:
        return u"Bad Offset";
    case StringResource::kCount:
        return u"Unexpected String Count";
    case StringResource::kTooLarge:
        return u"File Larger Than 1 MiB";
    default:
        return u"File Read Error";
    }
}

// "Entry <index> <why>" at level 1, so the log names the entry refused.
void FailEntry(const char16_t* operation, uint32_t index, const std::string& why) {
    const std::u16string reason = u"Entry " + Utf16::FromUtf8(std::to_string(index) + " " + why);
    ORV_FAIL_AT(operation, reason.c_str());
}
} // namespace

StringResource::~StringResource() {
    Release();
}

void StringResource::Release() {
    delete[] block;
    delete[] cache;
    delete[] offsets;
    delete[] lengths;
    delete[] path;
    block = nullptr;
    cache = nullptr;
    offsets = lengths = nullptr;
    path = nullptr;
    count = 0;
    if (file)
        std::fclose(file);
    file = nullptr;
}

uint32_t StringResource::Open(const char16_t* newPath, uint32_t expected) {
    ORV_ENTRY(u"StringResource::Open");
    Release();
    uint32_t code = kOk;
    std::string narrow;
    if (!newPath) {
        code = kNoPath;
    } else {
        size_t pathLength = Utf16::Length(newPath);
        path = new (std::nothrow) char16_t[pathLength + 1];
        if (!path)
            code = kNoMemory;
        else
            std::memcpy(path, newPath, (pathLength + 1) * sizeof(char16_t));
    }
    if (code == kOk && !Utf16::ToMultibyte(path, narrow))
        code = kPathCopy;
    else if (code == kOk && !(file = OpenCatalogue(narrow)))
        code = kOpen;
    if (code == kOk)
        code = ReadCatalogue(expected, kOpenName);
    if (code != kOk) {
        if (code != kBadEntry) // its line names the entry already
            ORV_FAIL_AT(kOpenName, Reason(code));
        Release();
        return code;
    }
    ORV_EXIT(u"StringResource::Open");
    return kOk;
}

uint32_t StringResource::ReadCatalogue(uint32_t expected, const char16_t* operation) {
    // The size first: nothing is allocated for a file that is not a plain
    // file of at most kMaxBytes.
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode))
        return kOpen;
    if (info.st_size > static_cast<off_t>(kMaxBytes))
        return kTooLarge;
    const size_t size = static_cast<size_t>(info.st_size);
    std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[size + 1]);
    if (!bytes)
        return kNoMemory;
    if (std::fseek(file, 0, SEEK_SET) != 0 || std::fread(bytes.get(), 1, size, file) != size)
        return kRead;
    const unsigned char* image = bytes.get();

    // The low 16 bits of the sum of all complete words must be 0.
    uint16_t sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2)
        sum = static_cast<uint16_t>(sum + (image[i] | (image[i + 1] << 8)));
    if (size > 0 && sum != 0)
        return kChecksum;
    if (size < 4)
        return kRead;
    const uint32_t n = Le32(image);
    if (expected != 0 && n != expected)
        return kCount;
    if (n == 0)
        return kEmpty;
    // The two tables must lie inside the bytes read.
    if (4 + 8ull * n > size)
        return kRead;

    std::unique_ptr<uint32_t[]> newOffsets(new (std::nothrow) uint32_t[n]);
    std::unique_ptr<uint32_t[]> newLengths(new (std::nothrow) uint32_t[n]);
    std::unique_ptr<char16_t*[]> newCache(new (std::nothrow) char16_t*[n]());
    if (!newOffsets || !newLengths || !newCache)
        return kNoMemory;
    for (uint32_t i = 0; i < n; ++i) {
        newOffsets[i] = Le32(image + 4 + 4ull * i);
        newLengths[i] = Le32(image + 4 + 4ull * n + 4ull * i);
        if (newOffsets[i] & 1)
            return kBadOffset;
    }
    // The strings follow the tables and each other directly, and end inside
    // the bytes read; every one counts at least its terminator.
    const uint64_t first = 4 + 8ull * n;
    uint64_t next = first;
    for (uint32_t i = 0; i < n; ++i) {
        if (newOffsets[i] != next)
            return kBadOffset;
        if (newLengths[i] == 0) {
            FailEntry(operation, i, "has no terminating zero");
            return kBadEntry;
        }
        next = newOffsets[i] + 2ull * newLengths[i];
        if (next > size)
            return kRead;
    }

    // Decoded into an aligned block of its own, twice the string data and
    // zeroed, so a text is always followed by zeros.
    const size_t units = static_cast<size_t>((next - first) / 2);
    char16_t* newBlock = new (std::nothrow) char16_t[2 * units]();
    if (!newBlock)
        return kNoMemory;
    std::unique_ptr<char16_t[]> owner(newBlock);
    for (size_t i = 0; i < units; ++i)
        newBlock[i] = static_cast<char16_t>(image[first + 2 * i] | (image[first + 2 * i + 1] << 8));
    for (uint32_t i = 0; i < n; ++i) {
        const char16_t* text = newBlock + (newOffsets[i] - first) / 2;
        std::string why;
        if (text[newLengths[i] - 1] != 0) {
            FailEntry(operation, i, "has no terminating zero");
            return kBadEntry;
        }
        if (!CatalogueSignatures::Fits(i, text, Utf16::Length(text), why)) {
            FailEntry(operation, i, why);
            return kBadEntry;
        }
        newCache[i] = const_cast<char16_t*>(text);
    }

    delete[] block;
    delete[] offsets;
    delete[] lengths;
    delete[] cache;
    count = n;
    offsets = newOffsets.release();
    lengths = newLengths.release();
    cache = newCache.release();
    block = owner.release();
    return kOk;
}

uint32_t StringResource::LoadAll() {
    ORV_ENTRY(u"StringResource::LoadAll");
    if (!block) {
        if (!cache) {
            ORV_FAIL(u"StringResource::LoadAll", u"Nothing Open");
            return kNothingOpen;
        }
        // After FreeCache: the file is read and checked again, never taken
        // as it stands now.
        if (uint32_t code = ReadCatalogue(count, u"StringResource::LoadAll"); code != kOk) {
            if (code != kBadEntry)
                ORV_FAIL_AT(u"StringResource::LoadAll", Reason(code));
            return code;
        }
    }
    ORV_EXIT(u"StringResource::LoadAll");
    return kOk;
}

const char16_t* StringResource::GetString(uint32_t index) {
    ORV_ENTRY(u"StringResource::GetString");
    if (!cache || index >= count)
        return nullptr;
    if (!cache[index] && LoadAll() != kOk)
        return nullptr;
    ORV_EXIT(u"StringResource::GetString");
    return cache[index];
}

uint32_t StringResource::FreeCache() {
    ORV_ENTRY(u"StringResource::FreeCache");
    if (!cache)
        return kNothingOpen;
    delete[] block;
    block = nullptr;
    for (uint32_t i = 0; i < count; ++i)
        cache[i] = nullptr;
    ORV_EXIT(u"StringResource::FreeCache");
    return kOk;
}
