#include "support/StringResource.h"

#include "support/InstallPaths.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {
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
} // namespace

StringResource::~StringResource() {
    Release();
}

void StringResource::Release() {
    FreeCache();
    delete[] cache;
    delete[] offsets;
    delete[] lengths;
    delete[] path;
    cache = nullptr;
    offsets = lengths = nullptr;
    path = nullptr;
    count = 0;
    if (file)
        std::fclose(file);
    file = nullptr;
}

bool StringResource::ReadWords(uint32_t* target, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
        unsigned char b[4];
        if (std::fread(b, 1, 4, file) != 4)
            return false;
        target[i] = Le32(b);
    }
    return true;
}

uint32_t StringResource::Open(const char16_t* newPath, uint32_t expected) {
    Release();
    if (!newPath)
        return kNoPath;
    size_t pathLength = Utf16::Length(newPath);
    path = new (std::nothrow) char16_t[pathLength + 1];
    if (!path)
        return kNoMemory;
    std::memcpy(path, newPath, (pathLength + 1) * sizeof(char16_t));

    uint32_t code = kOk;
    std::string narrow;
    if (!Utf16::ToMultibyte(path, narrow))
        code = kPathCopy;
    else if (!(file = OpenCatalogue(narrow)))
        code = kOpen;
    else if (std::fseek(file, 0, SEEK_SET) != 0)
        code = kRead;
    if (code == kOk) {
        // The low 16 bits of the sum of all complete words must be 0.
        uint16_t sum = 0;
        unsigned char chunk[4096];
        size_t carry = 0, n;
        bool any = false;
        while ((n = std::fread(chunk + carry, 1, sizeof chunk - carry, file)) > 0) {
            any = true;
            n += carry;
            for (size_t i = 0; i + 1 < n; i += 2)
                sum = static_cast<uint16_t>(sum + (chunk[i] | (chunk[i + 1] << 8)));
            carry = n & 1;
            if (carry)
                chunk[0] = chunk[n - 1];
        }
        if (any && sum != 0)
            code = kChecksum;
    }
    if (code == kOk) {
        unsigned char b[4];
        if (std::fseek(file, 0, SEEK_SET) != 0 || std::fread(b, 1, 4, file) != 4)
            code = kRead;
        else if (count = Le32(b), expected != 0 && count != expected)
            code = kCount;
        else if (count == 0)
            code = kEmpty;
    }
    if (code == kOk) {
        // The tables must lie inside the file: a count larger than the file
        // can hold is a short file, not an allocation.
        long size = 0;
        if (std::fseek(file, 0, SEEK_END) != 0 || (size = std::ftell(file)) < 0 ||
            std::fseek(file, 4, SEEK_SET) != 0)
            code = kRead;
        else if (static_cast<uint64_t>(count) * 8 + 4 > static_cast<uint64_t>(size))
            code = kRead;
    }
    if (code == kOk) {
        offsets = new (std::nothrow) uint32_t[count];
        lengths = new (std::nothrow) uint32_t[count];
        cache = new (std::nothrow) char16_t*[count]();
        if (!offsets || !lengths || !cache)
            code = kNoMemory;
    }
    if (code == kOk) {
        if (!ReadWords(offsets, count))
            code = kRead;
        else
            for (uint32_t i = 0; i < count && code == kOk; ++i)
                if (offsets[i] & 1)
                    code = kBadOffset;
    }
    if (code == kOk && !ReadWords(lengths, count))
        code = kRead;
    if (code == kOk) {
        uint64_t expectedOffset = 4 + 8ull * count;
        for (uint32_t i = 0; i < count && code == kOk; ++i) {
            if (offsets[i] != expectedOffset)
                code = kBadOffset;
            expectedOffset = static_cast<uint64_t>(offsets[i]) + 2ull * lengths[i];
        }
    }
    if (code != kOk)
        Release();
    return code;
}

uint32_t StringResource::LoadAll() {
    if (block)
        return kOk;
    if (!cache)
        return kNothingOpen;
    for (uint32_t i = 0; i < count; ++i) {
        delete[] cache[i];
        cache[i] = nullptr;
    }
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i)
        total += lengths[i];
    // Twice the string data, zeroed, so the text is always followed by zeros.
    if (total > (SIZE_MAX / 4))
        return kNoMemory;
    block = new (std::nothrow) char16_t[2 * total + 1]();
    if (!block)
        return kNoMemory;
    bool ok = std::fseek(file, static_cast<long>(offsets[0]), SEEK_SET) == 0;
    for (uint64_t i = 0; ok && i < total; ++i) {
        unsigned char b[2];
        if (std::fread(b, 1, 2, file) != 2)
            ok = false;
        else
            block[i] = static_cast<char16_t>(b[0] | (b[1] << 8));
    }
    if (!ok) {
        delete[] block;
        block = nullptr;
        return kRead;
    }
    for (uint32_t i = 0; i < count; ++i)
        cache[i] = block + (offsets[i] - offsets[0]) / 2;
    // A length of 0 would leave an entry without its terminator; the zeroed
    // tail of the block terminates every entry.
    return kOk;
}

const char16_t* StringResource::GetString(uint32_t index) {
    if (!cache || index >= count)
        return nullptr;
    if (cache[index])
        return cache[index];
    uint32_t length = lengths[index];
    char16_t* text = new (std::nothrow) char16_t[static_cast<size_t>(length) + 1]();
    if (!text)
        return nullptr;
    if (std::fseek(file, static_cast<long>(offsets[index]), SEEK_SET) != 0) {
        delete[] text;
        return nullptr;
    }
    for (uint32_t i = 0; i < length; ++i) {
        unsigned char b[2];
        if (std::fread(b, 1, 2, file) != 2) {
            delete[] text;
            return nullptr;
        }
        text[i] = static_cast<char16_t>(b[0] | (b[1] << 8));
    }
    cache[index] = text;
    return text;
}

uint32_t StringResource::FreeCache() {
    if (!cache)
        return kNothingOpen;
    if (block) {
        delete[] block;
        block = nullptr;
    } else {
        for (uint32_t i = 0; i < count; ++i)
            delete[] cache[i];
    }
    for (uint32_t i = 0; i < count; ++i)
        cache[i] = nullptr;
    return kOk;
}
