#include "fru/CFileHeader.h"

#include <cstring>
#include <new>

CFileHeader::~CFileHeader() {
    delete[] LfName;
    delete[] LfVersion;
    delete[] LfFmtVersion;
    delete[] IpmiVersion;
}

bool CFileHeader::Replace(char*& field, const char* text) {
    if (!text)
        return false;
    delete[] field;
    const size_t length = std::strlen(text);
    field = new (std::nothrow) char[length + 1];
    if (!field)
        return false;
    std::memcpy(field, text, length + 1);
    return true;
}
