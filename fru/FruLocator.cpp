#include "fru/FruLocator.h"

#include "fru/FruDefs.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstring>
#include <new>
#include <string>

FruLocator::~FruLocator() {
    delete[] name;
}

uint32_t FruLocator::SetName(const char16_t* text) {
    ORV_ENTRY(u"FruLocator::SetName");
    if (!text)
        return 1;
    delete[] name;
    const size_t length = Utf16::Length(text);
    name = new (std::nothrow) char16_t[length + 1];
    if (!name)
        return FruDefs::kStatusNoMemory;
    std::memcpy(name, text, (length + 1) * sizeof(char16_t));
    ORV_EXIT(u"FruLocator::SetName");
    return 0;
}

uint32_t FruLocator::SetName(const char* text) {
    if (!text)
        return 1;
    const std::u16string wide = Utf16::FromMultibyte(text, std::strlen(text));
    return SetName(wide.c_str()) == 0 ? 0 : 1;
}
