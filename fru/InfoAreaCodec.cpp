#include "fru/InfoAreaCodec.h"

#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <cstring>
#include <new>
#include <string>

namespace InfoAreaCodec {
namespace {
bool Refuse(const Refusal* report, const char16_t* reason, uint32_t message) {
    if (report)
        Frame::Fail(report->operation, reason, message);
    return false;
}

bool RefuseTooLong(const Refusal* report) {
    if (report) {
        Frame::Fail(report->operation, report->tooLong, kMsgTooLong,
                    Frame::GetString(report->title));
    }
    return false;
}
} // namespace

bool ParseStart(const uint8_t* in, uint32_t size, uint8_t& formatVersion, uint8_t& unitLength) {
    if (!in || size == 0 || size > FruDefs::kMaxAreaBytes)
        return false;
    formatVersion = in[0];
    if (size < 2)
        return false;
    unitLength = in[1];
    const uint32_t areaBytes = static_cast<uint32_t>(unitLength) * FruDefs::kUnitBytes;
    return size <= areaBytes && areaBytes <= FruDefs::kMaxAreaBytes && size >= 3;
}

bool ParseField(const uint8_t* in, uint32_t size, uint32_t& pos, uint8_t& typeLength,
                std::unique_ptr<uint8_t[]>& data) {
    if (!in || pos >= size)
        return false;
    const uint8_t tl = in[pos++];
    const uint32_t length = FruDefs::DecodeLength(tl);
    if (pos + length >= size)
        return false;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[length + 1]);
    if (!buffer)
        return false;
    std::memcpy(buffer.get(), in + pos, length);
    buffer[length] = 0;
    data = std::move(buffer);
    typeLength = tl;
    pos += length;
    return true;
}

bool ParseCustomFields(const uint8_t* in, uint32_t size, uint32_t& pos, CCustomField*& chain,
                       uint32_t& count) {
    delete chain;
    chain = nullptr;
    count = 0;
    if (!in)
        return false;
    CCustomField** tail = &chain;
    while (pos < size && in[pos] != FruDefs::kEndOfFields) {
        auto* field = new (std::nothrow) CCustomField();
        if (!field)
            return false;
        *tail = field;
        tail = &field->next;
        field->typeLength = in[pos++];
        const uint32_t length = FruDefs::DecodeLength(field->typeLength);
        if (pos + length >= size)
            return false;
        std::memcpy(field->data, in + pos, length);
        field->data[length] = 0;
        pos += length;
        ++count;
    }
    return true;
}

bool ParseTail(const uint8_t* in, uint32_t size, uint32_t pos, uint32_t areaBytes,
               bool& computeChecksum, uint8_t& checksum) {
    computeChecksum = false;
    if (!in || pos >= size || in[pos] != FruDefs::kEndOfFields)
        return false;
    ++pos;
    if (pos == size) {
        // Cut off right after the end marker, as a configuration file gives it.
        if (areaBytes <= size)
            return false;
        computeChecksum = true;
        return true;
    }
    for (; pos + 1 < size; ++pos)
        if (in[pos] != 0)
            return false;
    if (size != areaBytes)
        return false;
    checksum = in[size - 1];
    return true;
}

bool ParseFields(const uint8_t* in, uint32_t size, uint32_t pos, Field* fields, size_t fieldCount,
                 CCustomField*& chain, uint32_t& customCount, uint32_t areaBytes,
                 bool& computeChecksum, uint8_t& checksum) {
    for (size_t i = 0; i < fieldCount; ++i)
        if (!ParseField(in, size, pos, fields[i].typeLength, fields[i].data))
            return false;
    return ParseCustomFields(in, size, pos, chain, customCount) &&
           ParseTail(in, size, pos, areaBytes, computeChecksum, checksum);
}

uint32_t FieldSum(const Field* fields, size_t fieldCount, const CCustomField* chain) {
    uint32_t sum = FruDefs::kEndOfFields;
    for (size_t i = 0; i < fieldCount; ++i) {
        sum += fields[i].typeLength;
        if (fields[i].data)
            for (uint32_t k = 0; k < fields[i].Length(); ++k)
                sum += fields[i].data[k];
    }
    for (const CCustomField* c = chain; c; c = c->next) {
        sum += c->typeLength;
        for (uint32_t k = 0; k < FruDefs::DecodeLength(c->typeLength); ++k)
            sum += c->data[k];
    }
    return sum;
}

uint8_t ChecksumFor(uint32_t sum) {
    return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

bool ChecksumHolds(uint32_t sum, uint8_t checksum) {
    return ((sum + checksum) & 0xFF) == 0;
}

int32_t PadLength(uint8_t unitLength, uint32_t overhead, const Field* fields, size_t fieldCount,
                  const CCustomField* chain) {
    int32_t pad = static_cast<int32_t>(unitLength) * FruDefs::kUnitBytes;
    pad -= static_cast<int32_t>(overhead);
    for (size_t i = 0; i < fieldCount; ++i)
        pad -= static_cast<int32_t>(fields[i].Length());
    for (const CCustomField* c = chain; c; c = c->next)
        pad -= 1 + static_cast<int32_t>(FruDefs::DecodeLength(c->typeLength));
    return pad;
}

bool ToUnitLength(uint32_t bytes, uint8_t& unitLength) {
    if (bytes % FruDefs::kUnitBytes != 0 || bytes > FruDefs::kMaxAreaBytes)
        return false;
    unitLength = static_cast<uint8_t>(bytes / FruDefs::kUnitBytes);
    return true;
}

void Serialize(uint8_t* image, const uint8_t* head, uint32_t headLength, const Field* fields,
               size_t fieldCount, const CCustomField* chain, uint8_t unitLength, uint8_t checksum) {
    constexpr uint32_t cap = FruDefs::kMaxAreaBytes;
    std::memset(image, 0, cap);
    std::memcpy(image, head, headLength);
    uint32_t pos = headLength;
    auto put = [&](uint8_t byte) {
        if (pos < cap)
            image[pos] = byte;
        ++pos;
    };
    for (size_t i = 0; i < fieldCount; ++i) {
        put(fields[i].typeLength);
        for (uint32_t k = 0; k < fields[i].Length(); ++k)
            put(fields[i].data ? fields[i].data[k] : 0);
    }
    for (const CCustomField* c = chain; c; c = c->next) {
        put(c->typeLength);
        for (uint32_t k = 0; k < FruDefs::DecodeLength(c->typeLength); ++k)
            put(c->data[k]);
    }
    put(FruDefs::kEndOfFields);
    // An area of length 0 has no checksum byte.
    const uint32_t areaBytes = static_cast<uint32_t>(unitLength) * FruDefs::kUnitBytes;
    if (areaBytes > 0 && areaBytes <= cap)
        image[areaBytes - 1] = checksum;
}

uint32_t ReversedPosition(uint32_t index, uint32_t firstCustomIndex, uint32_t customCount) {
    return customCount - 1 - (index - firstCustomIndex);
}

CCustomField* CustomAt(CCustomField* chain, uint32_t position) {
    CCustomField* c = chain;
    for (uint32_t i = 0; c && i < position; ++i)
        c = c->next;
    return c;
}

const CCustomField* CustomAt(const CCustomField* chain, uint32_t position) {
    return CustomAt(const_cast<CCustomField*>(chain), position);
}

bool SetField(Field& field, const uint8_t* data, uint32_t length, uint8_t typeBits,
              int32_t padLength, const Refusal* report) {
    if (!data)
        return Refuse(report, u"Unexpected", kMsgUnexpected);
    if (length > FruDefs::kMaxFieldLength ||
        static_cast<int32_t>(length) > static_cast<int32_t>(field.Length()) + padLength)
        return RefuseTooLong(report);
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[length + 1]);
    if (!buffer)
        return Refuse(report, u"FRU Error Allocation", kMsgNoMemory);
    std::memcpy(buffer.get(), data, length);
    buffer[length] = 0;
    field.data = std::move(buffer);
    field.typeLength = static_cast<uint8_t>((typeBits & FruDefs::kTypeMask) | length);
    return true;
}

bool SetCustom(CCustomField* chain, uint32_t position, const uint8_t* data, uint32_t length,
               uint8_t typeBits, int32_t padLength, const Refusal* report) {
    if (!data)
        return Refuse(report, u"Unexpected", kMsgUnexpected);
    if (length > FruDefs::kMaxFieldLength)
        return RefuseTooLong(report);
    CCustomField* field = CustomAt(chain, position);
    if (!field)
        return Refuse(report, u"No such FRU Field", kMsgNoSuchField);
    if (static_cast<int32_t>(length) >
        static_cast<int32_t>(FruDefs::DecodeLength(field->typeLength)) + padLength)
        return RefuseTooLong(report);
    // Copied through a temporary, so data may point into this very record.
    uint8_t copy[FruDefs::kMaxFieldLength];
    std::memcpy(copy, data, length);
    field->typeLength = static_cast<uint8_t>((typeBits & FruDefs::kTypeMask) | length);
    std::memcpy(field->data, copy, length);
    field->data[length] = 0;
    return true;
}

bool FieldData(const Field* fields, size_t fieldCount, const CCustomField* chain,
               uint32_t customCount, uint32_t index, const uint8_t** data, uint32_t* size) {
    if (index < fieldCount) {
        const Field& field = fields[index];
        return HandOut(field.data.get(), field.data ? field.Length() : 0, data, size);
    }
    const CCustomField* custom = nullptr;
    if (index - fieldCount < customCount)
        custom = CustomAt(chain, static_cast<uint32_t>(index - fieldCount));
    if (!custom) {
        HandOut(nullptr, 0, data, size);
        return false;
    }
    return HandOut(custom->data, FruDefs::DecodeLength(custom->typeLength), data, size);
}

bool HandOut(const uint8_t* bytes, uint32_t length, const uint8_t** data, uint32_t* size) {
    if (data)
        *data = bytes;
    if (size)
        *size = length;
    return true;
}

char16_t* ToWide(const uint8_t* data, uint32_t maxLength) {
    std::u16string text;
    if (data) {
        uint32_t length = 0;
        while (length < maxLength && data[length] != 0)
            ++length;
        text = Utf16::FromMultibyte(reinterpret_cast<const char*>(data), length);
    }
    return CopyWide(text.c_str());
}

char16_t* ToWide(const Field& field) {
    return ToWide(field.data.get(), field.Length());
}

uint32_t CustomValue(const CCustomField* chain, uint32_t count, uint32_t position, char16_t** value,
                     const char16_t* operation, bool traceNoMemory) {
    if (value)
        *value = nullptr;
    if (position > count) {
        Frame::Fail(operation, u"No such FRU Field", kMsgNoSuchField);
        return ORVANE_E_BAD_ARGUMENT;
    }
    const CCustomField* field = CustomAt(chain, position);
    if (!field)
        return Frame::Unexpected(operation, ORVANE_E_INTERNAL);
    char16_t* text = ToWide(field->data, FruDefs::kMaxFieldLength);
    if (!text) {
        Frame::Fail(traceNoMemory ? operation : nullptr, u"FRU Error Allocation", kMsgNoMemory);
        return ORVANE_E_FRU_NO_MEMORY;
    }
    if (value)
        *value = text;
    else
        delete[] text;
    return ORVANE_OK;
}

char16_t* CopyWide(const char16_t* text) {
    if (!text)
        return nullptr;
    const size_t length = Utf16::Length(text);
    auto* copy = new (std::nothrow) char16_t[length + 1];
    if (copy)
        std::memcpy(copy, text, (length + 1) * sizeof(char16_t));
    return copy;
}
} // namespace InfoAreaCodec
