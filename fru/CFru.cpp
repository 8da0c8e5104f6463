#include "fru/CFru.h"

#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstring>
#include <new>

CFru::~CFru() {
    delete multiRecords;
}

uint32_t CFru::CalculateChecksum(const uint8_t* bytes, int32_t count) {
    ORV_ENTRY(u"CFru::CalculateChecksum");
    uint32_t sum = 0;
    if (bytes)
        for (int32_t i = 0; i < count; ++i)
            sum += bytes[i];
    ORV_EXIT(u"CFru::CalculateChecksum");
    return (0x100 - (sum & 0xFF)) & 0xFF;
}

bool CFru::HasInternalArea() const {
    ORV_ENTRY(u"CFru::HasInternalArea");
    ORV_EXIT(u"CFru::HasInternalArea");
    return header.internalOffset != 0;
}
bool CFru::HasChassisArea() const {
    ORV_ENTRY(u"CFru::HasChassisArea");
    ORV_EXIT(u"CFru::HasChassisArea");
    return header.chassisOffset != 0;
}
bool CFru::HasBoardArea() const {
    ORV_ENTRY(u"CFru::HasBoardArea");
    ORV_EXIT(u"CFru::HasBoardArea");
    return header.boardOffset != 0;
}
bool CFru::HasProductArea() const {
    ORV_ENTRY(u"CFru::HasProductArea");
    ORV_EXIT(u"CFru::HasProductArea");
    return header.productOffset != 0;
}
bool CFru::HasMultiRecArea() const {
    ORV_ENTRY(u"CFru::HasMultiRecArea");
    ORV_EXIT(u"CFru::HasMultiRecArea");
    return header.multiRecOffset != 0;
}

uint32_t CFru::GetNumberOfAreas() const {
    ORV_ENTRY(u"CFru::GetNumberOfAreas");
    const uint32_t count = (header.internalOffset != 0) + (header.chassisOffset != 0) +
                           (header.boardOffset != 0) + (header.productOffset != 0) +
                           (header.multiRecOffset != 0);
    ORV_EXIT(u"CFru::GetNumberOfAreas");
    return count;
}

uint16_t CFru::GetOverallLength() const {
    ORV_ENTRY(u"CFru::GetOverallLength");
    const uint32_t total = GetLaidOutLength();
    ORV_EXIT(u"CFru::GetOverallLength");
    return static_cast<uint16_t>(total);
}

uint32_t CFru::GetLaidOutLength(bool withMultiRecords) const {
    ORV_ENTRY(u"CFru::GetLaidOutLength");
    const uint32_t total = FruDefs::kCommonHeaderBytes + internalArea.GetLength() +
                           chassisArea.GetLength() + boardArea.GetLength() +
                           productArea.GetLength() + (withMultiRecords ? multiRecLength : 0u);
    ORV_EXIT(u"CFru::GetLaidOutLength");
    return total;
}

FruLocator* CFru::GetDevLocator() {
    ORV_ENTRY(u"CFru::GetDevLocator");
    ORV_EXIT(u"CFru::GetDevLocator");
    return &locator;
}

uint32_t CFru::GetFruNameString(const char16_t** name) const {
    ORV_ENTRY(u"CFru::GetFruNameString");
    if (name)
        *name = locator.GetName();
    ORV_EXIT(u"CFru::GetFruNameString");
    return ORVANE_OK;
}

uint32_t CFru::SerializeCommonHeader(uint8_t* buffer) {
    ORV_ENTRY(u"CFru::SerializeCommonHeader");
    if (!buffer) {
        ORV_FAIL(u"CFru::SerializeCommonHeader", u"Unexpected");
        return ORVANE_E_INTERNAL;
    }
    std::memcpy(buffer, header.GetData(), FruDefs::kCommonHeaderBytes);
    ORV_EXIT(u"CFru::SerializeCommonHeader");
    return ORVANE_OK;
}

uint32_t CFru::DecodeHeader(const uint8_t* buffer) {
    ORV_ENTRY(u"CFru::DecodeHeader");
    // A null buffer is refused rather than read.
    if (!buffer)
        return ORVANE_E_INTERNAL;
    uint8_t* fields[FruDefs::kCommonHeaderBytes] = {
        &header.formatVersion, &header.internalOffset, &header.chassisOffset, &header.boardOffset,
        &header.productOffset, &header.multiRecOffset, &header.pad,           &header.checksum};
    for (uint32_t i = 0; i < FruDefs::kCommonHeaderBytes; ++i)
        *fields[i] = buffer[i];
    ORV_EXIT(u"CFru::DecodeHeader");
    return ORVANE_OK;
}

uint32_t CFru::ComputeAreaLengths(uint16_t total) {
    ORV_ENTRY(u"CFru::ComputeAreaLengths");
    const int32_t all = total;
    auto start = [](uint8_t offset) { return static_cast<int32_t>(offset) * 8; };
    // A negative length wraps to a huge one, which every area refuses.
    multiRecLength =
        header.multiRecOffset ? static_cast<uint16_t>(all - start(header.multiRecOffset)) : 0;
    productArea.SetLength(
        header.productOffset
            ? static_cast<uint32_t>(all - start(header.productOffset) - multiRecLength)
            : 0);
    const int32_t product = static_cast<int32_t>(productArea.GetLength());
    boardArea.SetLength(header.boardOffset ? static_cast<uint32_t>(all - start(header.boardOffset) -
                                                                   multiRecLength - product)
                                           : 0);
    const int32_t board = static_cast<int32_t>(boardArea.GetLength());
    chassisArea.SetLength(header.chassisOffset
                              ? static_cast<uint32_t>(all - start(header.chassisOffset) -
                                                      multiRecLength - product - board)
                              : 0);
    ORV_EXIT(u"CFru::ComputeAreaLengths");
    return ORVANE_OK;
}

const char16_t* CFru::GetFriendlyFruIdentifier(const FruLocator* fruLocator, char16_t* buffer,
                                               uint32_t sizeBytes) {
    ORV_ENTRY(u"CFru::GetFriendlyFruIdentifier");
    static const char16_t empty[1] = {0};
    if (!fruLocator || !buffer || sizeBytes < 100)
        return empty;
    const uint32_t capacity = sizeBytes / 2;
    if (const char16_t* name = fruLocator->GetName()) {
        uint32_t i = 0;
        for (; i + 1 < capacity && name[i]; ++i)
            buffer[i] = name[i];
        buffer[i] = 0;
        buffer[capacity - 1] = 0;
        return buffer;
    }
    buffer[0] = 0;
    if (const char16_t* format = Frame::GetString(kMsgFruName))
        Utf16::Format(buffer, capacity, format, unsigned{fruLocator->deviceId},
                      unsigned{fruLocator->controller}, unsigned{fruLocator->deviceAddress},
                      unsigned{fruLocator->bus});
    ORV_EXIT(u"CFru::GetFriendlyFruIdentifier");
    return buffer;
}

bool CFru::CheckMultiRecCheckSum() const {
    ORV_ENTRY(u"CFru::CheckMultiRecCheckSum");
    bool ok = true;
    for (const MultiRecord* r = multiRecords; r && ok; r = r->next)
        ok = r->IsValid();
    ORV_EXIT(u"CFru::CheckMultiRecCheckSum");
    return ok;
}

uint32_t CFru::DecodeMultiRecArea(const uint8_t* bytes) {
    ORV_ENTRY(u"CFru::DecodeMultiRecArea");
    delete multiRecords;
    multiRecords = nullptr;
    if (!bytes && multiRecLength)
        return ORVANE_E_INTERNAL;
    MultiRecord** tail = &multiRecords;
    uint32_t pos = 0;
    const uint32_t end = multiRecLength;
    // Bytes that run out are never read past: a trailing fragment shorter than
    // a record header is dropped, and a record whose data runs past the end is
    // cut there (its length byte then tells the bytes kept, and its checksums
    // no longer hold).
    while (pos + FruDefs::kMultiRecHeaderBytes <= end) {
        auto* record = new (std::nothrow) MultiRecord();
        if (!record)
            return ORVANE_E_FRU_NO_MEMORY;
        std::memcpy(record->header, bytes + pos, FruDefs::kMultiRecHeaderBytes);
        pos += FruDefs::kMultiRecHeaderBytes;
        uint32_t length = record->DataLength();
        if (length > end - pos) {
            length = end - pos;
            record->header[FruDefs::kMultiRecLengthByte] = static_cast<uint8_t>(length);
        }
        std::memcpy(record->data, bytes + pos, length);
        pos += length;
        *tail = record;
        tail = &record->next;
    }
    // The area is what its records hold: a dropped fragment is not counted,
    // so its size, its data and a commit all agree.
    multiRecLength = static_cast<uint16_t>(pos);
    ORV_EXIT(u"CFru::DecodeMultiRecArea");
    return ORVANE_OK;
}

uint32_t CFru::SetMultiRecArea(const uint8_t* bytes, uint16_t length, uint8_t modifiedFlag) {
    ORV_ENTRY(u"CFru::SetMultiRecArea");
    delete multiRecords;
    multiRecords = nullptr;
    multiRecLength = length;
    const uint32_t status = DecodeMultiRecArea(bytes);
    if (status != ORVANE_OK)
        return Frame::Unexpected(u"CFru::SetMultiRecArea", status);
    multiRecModified = modifiedFlag != 0;
    ORV_EXIT(u"CFru::SetMultiRecArea");
    return ORVANE_OK;
}

uint32_t CFru::SerializeMultiRecArea(uint8_t* buffer, uint32_t* size) const {
    ORV_ENTRY(u"CFru::SerializeMultiRecArea");
    if (!size)
        return ORVANE_E_INTERNAL;
    const uint32_t capacity = *size;
    *size = 0;
    uint32_t pos = 0;
    for (const MultiRecord* r = multiRecords; r; r = r->next) {
        if (!buffer || pos + FruDefs::kMultiRecHeaderBytes > capacity) {
            ORV_FAIL(u"CFru::SerializeMultiRecArea", u"Unexpected");
            return ORVANE_E_INTERNAL;
        }
        std::memcpy(buffer + pos, r->header, FruDefs::kMultiRecHeaderBytes);
        pos += FruDefs::kMultiRecHeaderBytes;
        if (pos + r->DataLength() > capacity)
            return ORVANE_E_INTERNAL;
        std::memcpy(buffer + pos, r->data, r->DataLength());
        pos += r->DataLength();
    }
    *size = pos;
    ORV_EXIT(u"CFru::SerializeMultiRecArea");
    return ORVANE_OK;
}
