#include "fru/CInternalUseArea.h"

#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstring>
#include <new>

namespace {
constexpr int32_t kDataEnum = 1;
constexpr uint32_t kNoIndex = 0xFFFFFFFF;
} // namespace

bool CInternalUseArea::SetData(const uint8_t* bytes, uint32_t size, uint8_t modifiedFlag) {
    ORV_ENTRY(u"CInternalUseArea::SetData");
    // Non-empty data without bytes is refused as well as an oversized block.
    const bool ok = size <= FruDefs::kMaxAreaBytes && (bytes || size == 0);
    if (ok) {
        length = size;
        std::memset(data, 0, sizeof data);
        if (size)
            std::memcpy(data, bytes, size);
        if (modifiedFlag)
            modified = 1;
    }
    ORV_EXIT(u"CInternalUseArea::SetData");
    return ok;
}

const uint8_t* CInternalUseArea::GetData() const {
    ORV_ENTRY(u"CInternalUseArea::GetData");
    ORV_EXIT(u"CInternalUseArea::GetData");
    return data;
}

uint32_t CInternalUseArea::GetLength() const {
    ORV_ENTRY(u"CInternalUseArea::GetLength");
    ORV_EXIT(u"CInternalUseArea::GetLength");
    return length;
}

uint32_t CInternalUseArea::GetNumberOfFields() const {
    ORV_ENTRY(u"CInternalUseArea::GetNumberOfFields");
    ORV_EXIT(u"CInternalUseArea::GetNumberOfFields");
    return length ? 1 : 0;
}

uint32_t CInternalUseArea::GetFieldIndexFromEnum(int32_t fieldEnum) const {
    ORV_ENTRY(u"CInternalUseArea::GetFieldIndexFromEnum");
    ORV_EXIT(u"CInternalUseArea::GetFieldIndexFromEnum");
    return fieldEnum == kDataEnum ? 0 : kNoIndex;
}

const char16_t* CInternalUseArea::GetFieldTitleFromIndex(uint32_t index) const {
    ORV_ENTRY(u"CInternalUseArea::GetFieldTitleFromIndex");
    ORV_EXIT(u"CInternalUseArea::GetFieldTitleFromIndex");
    return index == 0 ? Frame::GetString(kMsgInternalUseTitle) : nullptr;
}

const char16_t* CInternalUseArea::GetFieldValueFromIndex(uint32_t index) {
    ORV_ENTRY(u"CInternalUseArea::GetFieldValueFromIndex");
    value.reset();
    // An empty area has no field to render: it gives null like any other index.
    if (index != 0 || length == 0) {
        ORV_EXIT(u"CInternalUseArea::GetFieldValueFromIndex");
        return nullptr;
    }
    const size_t units = 3 * static_cast<size_t>(length);
    value.reset(new (std::nothrow) char16_t[units]());
    if (!value) {
        Frame::Fail(u"CInternalUseArea::GetFieldValueFromIndex", u"FRU Error Allocation",
                    kMsgNoMemory);
        return nullptr;
    }
    for (uint32_t i = 0; i < length; ++i) {
        const bool last = i + 1 == length;
        Utf16::Format(value.get() + 3 * i, units - 3 * i, last ? u"%02X" : u"%02X ", data[i]);
    }
    ORV_EXIT(u"CInternalUseArea::GetFieldValueFromIndex");
    return value.get();
}
