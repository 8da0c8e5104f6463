#include "fru/FruLocator.h"

#include "fru/FruDefs.h"
#include "orvane/orvane.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstring>
#include <new>
#include <string>

FruLocator::~FruLocator() {
    delete[] name;
    delete[] nameBytes;
}

uint32_t FruLocator::SetName(const char16_t* text) {
    ORV_ENTRY(u"FruLocator::SetName");
    if (!text)
        return 1;
    delete[] nameBytes;
    nameBytes = nullptr;
    delete[] name;
    const size_t length = Utf16::Length(text);
    name = new (std::nothrow) char16_t[length + 1];
    if (!name)
        return ORVANE_E_FRU_NO_MEMORY;
    std::memcpy(name, text, (length + 1) * sizeof(char16_t));
    ORV_EXIT(u"FruLocator::SetName");
    return 0;
}

uint32_t FruLocator::SetName(const char* text) {
    ORV_ENTRY(u"FruLocator::SetName");
    if (!text)
        return 1;
    const size_t length = std::strlen(text);
    const std::u16string wide = Utf16::FromMultibyte(text, length);
    if (SetName(wide.c_str()) != 0)
        return 1;
    // Without the copy the name still stands; only its exact bytes are lost.
    nameBytes = new (std::nothrow) char[length + 1];
    if (nameBytes)
        std::memcpy(nameBytes, text, length + 1);
    ORV_EXIT(u"FruLocator::SetName");
    return 0;
}
