#include "system/FruImage.h"

#include "fru/CFru.h"
#include "fru/FruDefs.h"
#include "fru/ImageLayout.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Trace.h"
#include "support/Utf16.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <iterator>
#include <new>

namespace FruImage {
namespace {

using FruDefs::kNameBufferBytes;

// The FRU's display name as an argument of a failure's message, made when
// the message is (after the failure's trace line).
auto NameOf(const FruLocator* locator) {
    return [locator, name = std::array<char16_t, kNameBufferBytes / 2>{}]() mutable {
        return CFru::GetFriendlyFruIdentifier(locator, name.data(), kNameBufferBytes);
    };
}

CommitAreaHook g_commitAreaHook = nullptr;

// Sends one progress text of a commit, telling the hook first which area the
// text reports.
void Progress(OrvaneProgressCallback progress, const char16_t* text, int32_t kind) {
    if (!progress || !text)
        return;
    if (g_commitAreaHook)
        g_commitAreaHook(kind);
    progress(ORVANE_PROGRESS_COMMIT, text, 0, 0);
}

} // namespace

FruTransfer::DeviceAddress AddressOf(const FruLocator& l) {
    return {l.nvsType, static_cast<uint8_t>(l.lun), l.bus, l.deviceAddress, l.controller,
            l.deviceId};
}

uint32_t ReadDataFromFRU(const FruLocator* locator, uint32_t offset, uint16_t count,
                         uint8_t* destination) {
    ORV_ENTRY(u"CFru::ReadDataFromFRU");
    if (!locator || !destination) {
        ORV_FAIL(u"CFru::ReadDataFromFRU", u"Error Reading FRU");
        return ORVANE_E_DEVICE_READ;
    }
    uint16_t read = count;
    const uint32_t status =
        FruTransfer::ReadDeviceData(AddressOf(*locator), offset, destination, &read);
    if (status == 0)
        ORV_EXIT(u"CFru::ReadDataFromFRU");
    return status;
}

uint32_t WriteImageData(CFru& fru, uint32_t offset, uint32_t count, const uint8_t* source) {
    ORV_ENTRY(u"CFru::WriteImageData");
    return FruTransfer::WriteDeviceData(AddressOf(fru.locator), offset, source, count);
}

uint32_t ReadFRUHeader(CFru&, const FruLocator* locator, uint8_t* buffer) {
    ORV_ENTRY(u"CFru::ReadFRUHeader");
    if (!locator || !buffer)
        return Frame::Unexpected(u"CFru::ReadFRUHeader", ORVANE_E_INTERNAL);
    uint32_t status = ReadDataFromFRU(locator, 0, FruDefs::kCommonHeaderBytes, buffer);
    if (status != 0) {
        Frame::Fail(u"CFru::ReadFRUHeader", u"Invalid Header Area", kMsgBadHeader, NameOf(locator));
        return status;
    }
    ORV_EXIT(u"CFru::ReadFRUHeader");
    return 0;
}

uint32_t GetCommonHeader(CFru& fru, const FruLocator* locator) {
    ORV_ENTRY(u"CFru::GetCommonHeader");
    if (!locator)
        return Frame::Unexpected(u"CFru::GetCommonHeader", ORVANE_E_INTERNAL);
    uint8_t bytes[FruDefs::kCommonHeaderBytes] = {};
    if (uint32_t status = ReadFRUHeader(fru, locator, bytes))
        return status;
    if ((bytes[0] & 0x07) != 1) {
        Frame::Fail(u"CFru::GetCommonHeader", u"Not IPMI FRU", kMsgNotIpmiFru);
        return ORVANE_E_NOT_IPMI_FRU;
    }
    fru.DecodeHeader(bytes);
    if (!fru.header.IsValid()) {
        Frame::Fail(u"CFru::GetCommonHeader", u"Invalid Header Area", kMsgBadHeader,
                    NameOf(locator));
        return ORVANE_E_HEADER_CHECKSUM;
    }
    ORV_EXIT(u"CFru::GetCommonHeader");
    return 0;
}

uint32_t GetTypeLengthArea(const FruLocator* locator, uint8_t* buffer, uint8_t offset,
                           uint16_t* length) {
    ORV_ENTRY(u"CFru::GetTypeLengthArea");
    uint8_t start[2] = {};
    if (uint32_t status = ReadDataFromFRU(locator, offset * 8u, 2, start))
        return status;
    *length = static_cast<uint16_t>(ImageLayout::InfoAreaLength(start));
    // An area longer than the 512-byte buffer is refused before it is read.
    if (*length > FruDefs::kMaxAreaBytes)
        return ORVANE_E_DEVICE_READ;
    uint32_t status = ReadDataFromFRU(locator, offset * 8u, *length, buffer);
    ORV_EXIT(u"CFru::GetTypeLengthArea");
    return status;
}

namespace {
// Reads the info area at offset into the area object; a failed read and an
// area the object refuses are both an invalid area.
template <typename Area> bool ReadInfoArea(Area& area, const FruLocator* locator, uint8_t offset) {
    uint8_t buffer[FruDefs::kMaxAreaBytes] = {};
    uint16_t length = 0;
    return GetTypeLengthArea(locator, buffer, offset, &length) == 0 && area.SetData(buffer, length);
}
} // namespace

uint32_t GetBoardArea(CFru& fru, const FruLocator* locator) {
    ORV_ENTRY(u"CFru::GetBoardArea");
    if (!ReadInfoArea(fru.boardArea, locator, fru.header.boardOffset)) {
        Frame::Fail(u"CFru::GetBoardArea", u"Invalid Board Area", kMsgBadBoard, NameOf(locator));
        return ORVANE_E_BAD_BOARD_AREA;
    }
    ORV_EXIT(u"CFru::GetBoardArea");
    return 0;
}

uint32_t GetChassisArea(CFru& fru, const FruLocator* locator) {
    ORV_ENTRY(u"CFru::GetChassisArea");
    if (!ReadInfoArea(fru.chassisArea, locator, fru.header.chassisOffset)) {
        Frame::Fail(u"CFru::GetChassisArea", u"Invalid Chassis Area", kMsgBadChassis,
                    NameOf(locator));
        return ORVANE_E_BAD_CHASSIS_AREA;
    }
    ORV_EXIT(u"CFru::GetChassisArea");
    return 0;
}

uint32_t GetProductArea(CFru& fru, const FruLocator* locator) {
    ORV_ENTRY(u"CFru::GetProductArea");
    uint8_t buffer[FruDefs::kMaxAreaBytes] = {};
    uint16_t length = 0;
    uint32_t status = GetTypeLengthArea(locator, buffer, fru.header.productOffset, &length);
    // A failed read passes its own status on; only an oversized area counts
    // as an invalid one.
    bool oversized = status == ORVANE_E_DEVICE_READ && length > FruDefs::kMaxAreaBytes;
    if (status != 0 && !oversized)
        return status;
    if (oversized || !fru.productArea.SetData(buffer, length)) {
        Frame::Fail(u"CFru::GetProductArea", u"Invalid Product Area", kMsgBadProduct,
                    NameOf(locator));
        return ORVANE_E_BAD_PRODUCT_AREA;
    }
    ORV_EXIT(u"CFru::GetProductArea");
    return 0;
}

uint32_t GetInternalArea(CFru& fru, const FruLocator* locator) {
    ORV_ENTRY(u"CFru::GetInternalArea");
    const CFruHeader& h = fru.header;
    if (h.internalOffset == 0) {
        fru.internalArea.SetData(nullptr, 0, 0);
        ORV_EXIT(u"CFru::GetInternalArea");
        return 0;
    }
    // The area runs up to the next area that the header declares; when it is
    // the last one, the device's size is unknown here and nothing is read.
    const uint32_t start = h.internalOffset * FruDefs::kUnitBytes;
    const uint8_t header[FruDefs::kCommonHeaderBytes] = {
        h.formatVersion, h.internalOffset, h.chassisOffset, h.boardOffset,
        h.productOffset, h.multiRecOffset, h.pad,           h.checksum};
    const uint32_t end = ImageLayout::InternalUseEnd(ImageLayout::ParseHeader(header));
    const bool misplaced = end != 0 && end < start;
    const uint32_t length = end > start ? end - start : 0;
    bool refused = misplaced || length > FruDefs::kMaxAreaBytes;
    uint8_t buffer[FruDefs::kMaxAreaBytes] = {};
    uint32_t status = 0;
    if (!refused) {
        ORV_ENTRY(u"CFru::GetFRUInternalData");
        status =
            length ? ReadDataFromFRU(locator, start, static_cast<uint16_t>(length), buffer) : 0;
    }
    if (refused || status != 0 || !fru.internalArea.SetData(buffer, length, 0)) {
        Frame::Fail(u"CFru::GetInternalArea", u"Invalid Internal Area", kMsgBadInternal,
                    NameOf(locator));
        return ORVANE_E_BAD_INTERNAL_USE;
    }
    ORV_EXIT(u"CFru::GetInternalArea");
    return 0;
}

uint32_t GetMultiRecArea(CFru& fru, const FruLocator* locator) {
    ORV_ENTRY(u"CFru::GetMultiRecArea");
    uint32_t start = fru.header.multiRecOffset * 8u;
    uint32_t offset = start;
    MultiRecord* last = fru.multiRecords;
    while (last && last->next)
        last = last->next;
    auto fail = [&]() {
        Frame::Fail(u"CFru::GetMultiRecArea", u"Invalid MultiRec Area", kMsgBadMultiRec,
                    NameOf(locator));
        return ORVANE_E_BAD_MULTIRECORD;
    };
    // A chain that runs past the device's last offset fails in the read that
    // would reach past it.
    for (;;) {
        uint8_t head[3] = {};
        if (ReadDataFromFRU(locator, offset, 3, head) != 0)
            return fail();
        // A record without data ends the chain unread.
        const ImageLayout::RecordExtent extent = ImageLayout::Record(head);
        const uint32_t length = extent.dataBytes;
        if (length == 0)
            break;
        uint8_t buffer[FruDefs::kMaxAreaBytes] = {};
        if (ReadDataFromFRU(locator, offset, static_cast<uint16_t>(extent.totalBytes), buffer) != 0)
            return fail();
        MultiRecord* record = new (std::nothrow) MultiRecord();
        if (!record) {
            Frame::Fail(u"CFru::GetMultiRecArea", u"FRU Error Allocation", kMsgNoMemory);
            return ORVANE_E_FRU_NO_MEMORY;
        }
        std::copy(buffer, buffer + FruDefs::kMultiRecHeaderBytes, record->header);
        std::copy(buffer + 5, buffer + 5 + length, record->data);
        if (last)
            last->next = record;
        else
            fru.multiRecords = record;
        last = record;
        offset += extent.totalBytes;
        if (ImageLayout::Record(record->header).last)
            break;
    }
    fru.multiRecLength = static_cast<uint16_t>(offset - start);
    if (!fru.CheckMultiRecCheckSum())
        return fail();
    ORV_EXIT(u"CFru::GetMultiRecArea");
    return 0;
}

uint32_t ReadFruFromSystem(CFru& fru, const FruLocator* locator) {
    ORV_ENTRY(u"CFru::ReadFruFromSystem");
    if (!locator)
        return Frame::Unexpected(u"CFru::ReadFruFromSystem", ORVANE_E_INTERNAL);
    if (uint32_t status = GetCommonHeader(fru, locator))
        return status;
    const CFruHeader& h = fru.header;
    struct Step {
        uint8_t offset;
        uint32_t (*read)(CFru&, const FruLocator*);
    } steps[] = {{h.boardOffset, GetBoardArea},
                 {h.productOffset, GetProductArea},
                 {h.chassisOffset, GetChassisArea},
                 {h.internalOffset, GetInternalArea},
                 {h.multiRecOffset, GetMultiRecArea}};
    for (const Step& step : steps)
        if (step.offset != 0)
            if (uint32_t status = step.read(fru, locator))
                return status;
    ORV_EXIT(u"CFru::ReadFruFromSystem");
    return 0;
}

uint32_t LoadFromSystem(CFru& fru, const FruLocator* locator) {
    ORV_ENTRY(u"CFru::LoadFromSystem");
    if (!locator)
        return Frame::Unexpected(u"CFru::LoadFromSystem", ORVANE_E_INTERNAL);
    fru.locator.deviceAddress = locator->deviceAddress;
    fru.locator.bus = locator->bus;
    fru.locator.deviceId = locator->deviceId;
    fru.locator.controller = locator->controller;
    fru.locator.lun = locator->lun;
    fru.locator.nvsType = locator->nvsType;
    // The name's bytes come along, so a file written later holds them.
    if (locator->GetNameBytes())
        fru.locator.SetName(locator->GetNameBytes());
    else
        fru.locator.SetName(locator->GetName());
    return ReadFruFromSystem(fru, locator);
}

CommitPlan PlanCommit(CFru& fru) {
    uint32_t multiRecBytes = 0;
    for (const MultiRecord* r = fru.multiRecords; r; r = r->next)
        multiRecBytes += FruDefs::kMultiRecHeaderBytes + r->DataLength();
    const CommitArea areas[] = {
        {ORVANE_AREA_INTERNAL_USE, fru.HasInternalArea(),
         fru.HasInternalArea() && fru.internalArea.IsModified(), 0, fru.internalArea.GetLength()},
        {ORVANE_AREA_CHASSIS, fru.HasChassisArea(),
         fru.HasChassisArea() && fru.chassisArea.IsModified(), 0, fru.chassisArea.GetLength()},
        // The board area is written on every commit that finds it present.
        {ORVANE_AREA_BOARD, fru.HasBoardArea(), fru.HasBoardArea() || fru.boardArea.IsModified(), 0,
         fru.boardArea.GetLength()},
        {ORVANE_AREA_PRODUCT, fru.HasProductArea(),
         fru.HasProductArea() && fru.productArea.IsModified(), 0, fru.productArea.GetLength()},
        {ORVANE_AREA_MULTIRECORD, fru.HasMultiRecArea(),
         fru.HasMultiRecArea() && fru.multiRecModified, 0, multiRecBytes}};
    CommitPlan plan{};
    uint32_t offset = FruDefs::kCommonHeaderBytes;
    for (size_t i = 0; i < std::size(areas); ++i) {
        plan.areas[i] = areas[i];
        plan.areas[i].offset = offset;
        offset += areas[i].length;
    }
    plan.end = offset;
    return plan;
}

void SetCommitAreaHook(CommitAreaHook hook) {
    g_commitAreaHook = hook;
}

uint32_t WriteToSystem(CFru& fru, OrvaneProgressCallback progress) {
    ORV_ENTRY(u"CFru::WriteToSystem");
    const FruLocator& l = fru.locator;
    char16_t identifier[100], text[100];
    Utf16::Format(identifier, 100, Frame::GetString(kMsgFruName), l.deviceId, l.controller,
                  l.deviceAddress, l.bus);
    if (const char16_t* format = Frame::GetString(kMsgWriting)) {
        Utf16::Format(text, 100, format, identifier);
        Progress(progress, text, 0);
    }
    auto fail = [&]() {
        Frame::Fail(u"CFru::WriteToSystem", u"Error Writing System", kMsgSystemWriteError,
                    NameOf(&fru.locator));
        return ORVANE_E_SYSTEM_WRITE;
    };
    // An image that would end past the device's last offset is refused before
    // the first write, so no part of it lands anywhere.
    const bool withMultiRecords = fru.HasMultiRecArea() && fru.multiRecModified;
    if (fru.GetLaidOutLength(withMultiRecords) > FruTransfer::AddressableBytes(l.nvsType)) {
        ORV_FAIL(u"CFru::WriteToSystem", u"Image Past Last Device Offset");
        return fail();
    }
    const CommitPlan plan = PlanCommit(fru);
    const CommitArea &internal = plan.areas[0], &chassis = plan.areas[1], &board = plan.areas[2],
                     &product = plan.areas[3], &multiRec = plan.areas[4];
    if (WriteImageData(fru, 0, FruDefs::kCommonHeaderBytes, fru.header.GetData()) != 0)
        return fail();
    Progress(progress, Frame::GetString(kMsgHeaderWritten), ORVANE_AREA_COMMON_HEADER);
    // An info area the plan writes is marked unmodified and written whole.
    const auto writeArea = [&](const CommitArea& area, auto& object) {
        if (!area.written)
            return true;
        object.ClearModified();
        return WriteImageData(fru, area.offset, area.length, object.GetData()) == 0;
    };

    if (!writeArea(internal, fru.internalArea))
        return fail();
    Progress(progress, Frame::GetString(kMsgInternalUseWritten), ORVANE_AREA_INTERNAL_USE);

    if (!writeArea(chassis, fru.chassisArea))
        return fail();
    Progress(progress, Frame::GetString(kMsgChassisWritten), ORVANE_AREA_CHASSIS);

    if (!writeArea(board, fru.boardArea))
        return fail();
    Progress(progress, Frame::GetString(kMsgBoardWritten), ORVANE_AREA_BOARD);

    if (!writeArea(product, fru.productArea))
        return fail();

    if (multiRec.written) {
        Progress(progress, Frame::GetString(kMsgWritingMultiRecords), ORVANE_AREA_MULTIRECORD);
        uint32_t offset = multiRec.offset;
        for (MultiRecord* r = fru.multiRecords; r; r = r->next) {
            for (uint32_t i = 0; i < FruDefs::kMultiRecHeaderBytes; ++i)
                if (WriteImageData(fru, offset + i, 1, r->header + i))
                    return fail();
            if (WriteImageData(fru, offset + 5, r->DataLength(), r->data))
                return fail();
            offset += 5 + r->DataLength();
        }
        fru.multiRecModified = false;
    }
    ORV_EXIT(u"CFru::WriteToSystem");
    return 0;
}

} // namespace FruImage
