// The exported area and field operations. The area classes share no base, so
// every operation switches on the selected area kind and calls the class that
// holds that area: the CFru itself for the common header and the multi-record
// area, CInternalUseArea, CChassisInfoArea, CBoardInfoArea or CProductInfoArea.
#include "api/AreaKinds.h"
#include "api/LibraryState.h"
#include "fru/CFru.h"
#include "fru/FruDefs.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/IpmiDefs.h"
#include "support/MessageIds.h"
#include "support/Trace.h"

#include <cstring>

using Globals::initialised;
using Globals::state;

namespace {
constexpr uint8_t kTextTypeBits = 0xC0; // 8-bit text in bits 7..6 of a type/length byte
constexpr uint32_t kNoField = 0xFFFFFFFF;

constexpr uint32_t kNoArea = 0; // no area selected

// What an operation needs selected besides the list and the FRU.
enum class Needs { Fru, Area, Field };

// How an operation reports its failures: the usual failure line and message,
// or (the three area data operations) the message alone.
enum class Report { Traced, Silent };

// The checks every operation makes after its entry line, in their fixed order:
// the library initialised (no trace line), something loaded, the selection it
// needs, the selected FRU present in the current list. Gives the selected FRU,
// or null with *status set.
CFru* SelectedFru(const char16_t* name, Needs needs, uint32_t* status,
                  Report report = Report::Traced) {
    const char16_t* traced = report == Report::Traced ? name : nullptr;
    if (!initialised) {
        *status = ORVANE_E_NOT_INITIALIZED;
        return nullptr;
    }
    if (!state->loaded) {
        *status = Frame::Unexpected(traced, ORVANE_E_NOT_LOADED);
        return nullptr;
    }
    bool selected = state->selectedList != LibraryState::kNoList && state->currentList &&
                    state->selectedFru != LibraryState::kNone;
    if (needs != Needs::Fru)
        selected = selected && state->selectedArea != kNoArea;
    if (needs == Needs::Field)
        selected = selected && state->selectedField != kNoField;
    if (!selected) {
        *status = Frame::Unexpected(traced, ORVANE_E_NOT_SELECTED);
        return nullptr;
    }
    CFru* fru = state->currentList->GetAt(state->selectedFru);
    if (!fru) {
        *status = Frame::Unexpected(traced, ORVANE_E_BAD_ARGUMENT);
        return nullptr;
    }
    *status = ORVANE_OK;
    return fru;
}

bool HasArea(const CFru& fru, uint32_t kind) {
    if (kind == ORVANE_AREA_COMMON_HEADER)
        return true;
    const AreaKinds::Kind* k = AreaKinds::Of(static_cast<int32_t>(kind));
    return k && (fru.*k->present)();
}

void ClearAreaSelection() {
    state->selectedArea = kNoArea;
    state->selectedField = kNoField;
}

// Field count and enumerator lookup of the four areas that have fields.
uint32_t FieldCount(CFru& fru, uint32_t kind) {
    return AreaKinds::WithFieldArea(
        fru, static_cast<int32_t>(kind), 0u,
        [](auto& area) -> uint32_t { return area.GetNumberOfFields(); });
}

uint32_t FieldIndex(CFru& fru, uint32_t kind, int32_t fieldEnum) {
    return AreaKinds::WithFieldArea(
        fru, static_cast<int32_t>(kind), kNoField, [&](auto& area) -> uint32_t {
            return static_cast<uint32_t>(
                area.GetFieldIndexFromEnum(static_cast<uint32_t>(fieldEnum)));
        });
}

// The failure reason and message of a raw field read or write, per info area.
struct InfoAreaFailure {
    const char16_t* reason;
    uint32_t message;
};

InfoAreaFailure GetDataFailure(uint32_t kind) {
    if (kind == ORVANE_AREA_CHASSIS)
        return {u"Failed to get Chassis Data", kMsgGetChassisData};
    if (kind == ORVANE_AREA_PRODUCT)
        return {u"Failed to get Product Data", kMsgGetProductData};
    return {u"Failed to get Board Data", kMsgGetBoardData};
}

InfoAreaFailure SetDataFailure(uint32_t kind) {
    if (kind == ORVANE_AREA_CHASSIS)
        return {u"Failed to set Chassis Data", kMsgSetChassisData};
    if (kind == ORVANE_AREA_PRODUCT)
        return {u"Failed to set Product Data", kMsgSetProductData};
    return {u"Failed to set Board Data", kMsgSetBoardData};
}

uint32_t HasAreaOp(const char16_t* name, uint8_t* present, uint32_t kind) {
    ORV_ENTRY_AT(name);
    uint32_t status;
    CFru* fru = SelectedFru(name, Needs::Fru, &status);
    if (!fru)
        return status;
    if (!present)
        return Frame::Unexpected(name, ORVANE_E_BAD_ARGUMENT);
    *present = HasArea(*fru, kind) ? 1 : 0;
    ORV_EXIT_AT(name);
    return ORVANE_OK;
}

// The start of the three area data operations: a null interface or data
// pointer counts as a missing Initialize, and failures carry no trace line.
// (GetAreaSize has no data pointer and passes the interface pointer twice.)
CFru* AreaDataFru(const char16_t* name, const void* api, const void* data, uint32_t* status) {
    if (!api || !data) {
        *status = ORVANE_E_NOT_INITIALIZED;
        return nullptr;
    }
    return SelectedFru(name, Needs::Area, status, Report::Silent);
}

// A dispatch failure of an area data operation: the message, then the exit line.
uint32_t AreaDataFailure(const char16_t* name, uint32_t code) {
    Frame::SetLastErrorMessage(kMsgUnexpected);
    ORV_EXIT_AT(name);
    return code;
}
} // namespace

extern "C" {

ORVANE_API uint32_t GetNumberOfAreas(OrvaneInterface*, uint32_t* count) {
    ORV_ENTRY(u"Orvane::GetNumberOfAreas");
    uint32_t status;
    CFru* fru = SelectedFru(u"Orvane::GetNumberOfAreas", Needs::Fru, &status);
    if (!fru)
        return status;
    if (!count)
        return Frame::Unexpected(u"Orvane::GetNumberOfAreas", ORVANE_E_BAD_ARGUMENT);
    *count = fru->GetNumberOfAreas();
    ORV_EXIT(u"Orvane::GetNumberOfAreas");
    return ORVANE_OK;
}

ORVANE_API uint32_t SelectAreaInteger(OrvaneInterface*, uint32_t position) {
    ORV_ENTRY(u"Orvane::SelectAreaInteger");
    uint32_t status;
    CFru* fru = SelectedFru(u"Orvane::SelectAreaInteger", Needs::Fru, &status);
    if (!fru)
        return status;
    ClearAreaSelection();
    if (position >= fru->GetNumberOfAreas())
        return Frame::Unexpected(u"Orvane::SelectAreaInteger", ORVANE_E_BAD_ARGUMENT);
    // Present areas in the order internal use, chassis, board, product, multi-record.
    uint32_t seen = 0;
    for (uint32_t kind = ORVANE_AREA_INTERNAL_USE; kind <= ORVANE_AREA_MULTIRECORD; ++kind) {
        if (!HasArea(*fru, kind))
            continue;
        if (seen++ == position) {
            state->selectedArea = kind;
            break;
        }
    }
    ORV_EXIT(u"Orvane::SelectAreaInteger");
    return ORVANE_OK;
}

ORVANE_API uint32_t SelectAreaEnum(OrvaneInterface*, int32_t kind) {
    ORV_ENTRY(u"Orvane::SelectAreaEnum");
    uint32_t status;
    CFru* fru = SelectedFru(u"Orvane::SelectAreaEnum", Needs::Fru, &status);
    if (!fru)
        return status;
    ClearAreaSelection();
    if (kind < ORVANE_AREA_COMMON_HEADER || kind > ORVANE_AREA_MULTIRECORD)
        return Frame::Unexpected(u"Orvane::SelectAreaEnum", ORVANE_E_BAD_ARGUMENT);
    // An absent area is not an error: nothing is selected and the host asks
    // the Has...Area operations to tell why.
    if (HasArea(*fru, static_cast<uint32_t>(kind)))
        state->selectedArea = static_cast<uint32_t>(kind);
    ORV_EXIT(u"Orvane::SelectAreaEnum");
    return ORVANE_OK;
}

ORVANE_API uint32_t GetAreaName(OrvaneInterface*, const OrvaneChar** name) {
    ORV_ENTRY(u"Orvane::GetAreaName");
    uint32_t status;
    if (!SelectedFru(u"Orvane::GetAreaName", Needs::Area, &status))
        return status;
    // By area kind; only the internal use area and the ones after it have a name.
    static constexpr uint32_t kNameMessage[] = {0,
                                                0,
                                                kMsgInternalUseName,
                                                kMsgChassisName,
                                                kMsgBoardName,
                                                kMsgProductName,
                                                kMsgMultiRecordName};
    if (!name || state->selectedArea < ORVANE_AREA_INTERNAL_USE ||
        state->selectedArea > ORVANE_AREA_MULTIRECORD)
        return Frame::Unexpected(u"Orvane::GetAreaName", ORVANE_E_BAD_ARGUMENT);
    *name = Frame::GetString(kNameMessage[state->selectedArea]);
    ORV_EXIT(u"Orvane::GetAreaName");
    return ORVANE_OK;
}

ORVANE_API uint32_t HasInternalUseArea(OrvaneInterface*, uint8_t* present) {
    return HasAreaOp(u"Orvane::HasInternalUseArea", present, ORVANE_AREA_INTERNAL_USE);
}

ORVANE_API uint32_t HasChassisArea(OrvaneInterface*, uint8_t* present) {
    return HasAreaOp(u"Orvane::HasChassisArea", present, ORVANE_AREA_CHASSIS);
}

ORVANE_API uint32_t HasBoardArea(OrvaneInterface*, uint8_t* present) {
    return HasAreaOp(u"Orvane::HasBoardArea", present, ORVANE_AREA_BOARD);
}

ORVANE_API uint32_t HasProductArea(OrvaneInterface*, uint8_t* present) {
    return HasAreaOp(u"Orvane::HasProductArea", present, ORVANE_AREA_PRODUCT);
}

ORVANE_API uint32_t HasMultiRecordArea(OrvaneInterface*, uint8_t* present) {
    return HasAreaOp(u"Orvane::HasMultiRecordArea", present, ORVANE_AREA_MULTIRECORD);
}

ORVANE_API uint32_t GetNumberOfFields(OrvaneInterface*, uint32_t* count) {
    ORV_ENTRY(u"Orvane::GetNumberOfFields");
    uint32_t status;
    CFru* fru = SelectedFru(u"Orvane::GetNumberOfFields", Needs::Area, &status);
    if (!fru)
        return status;
    if (!count || state->selectedArea == ORVANE_AREA_COMMON_HEADER)
        return Frame::Unexpected(u"Orvane::GetNumberOfFields", ORVANE_E_BAD_ARGUMENT);
    // The multi-record area has no fields: a count of 0.
    *count = FieldCount(*fru, state->selectedArea);
    ORV_EXIT(u"Orvane::GetNumberOfFields");
    return ORVANE_OK;
}

// Field selection by index (byEnum false) or by the area's enumerator.
static uint32_t SelectField(const char16_t* name, bool byEnum, uint32_t value) {
    ORV_ENTRY_AT(name);
    uint32_t status;
    CFru* fru = SelectedFru(name, Needs::Area, &status);
    if (!fru)
        return status;
    state->selectedField = kNoField;
    const uint32_t kind = state->selectedArea;
    if (kind == ORVANE_AREA_COMMON_HEADER || kind == ORVANE_AREA_MULTIRECORD) {
        Frame::Fail(name, u"Unsupported", kMsgUnsupported);
        return ORVANE_E_UNSUPPORTED;
    }
    const uint32_t index = byEnum ? FieldIndex(*fru, kind, static_cast<int32_t>(value)) : value;
    if (index == kNoField || index >= FieldCount(*fru, kind)) {
        Frame::Fail(name, u"No such FRU Field", kMsgNoSuchField);
        return ORVANE_E_BAD_ARGUMENT;
    }
    state->selectedField = index;
    ORV_EXIT_AT(name);
    return ORVANE_OK;
}

ORVANE_API uint32_t SelectFieldInteger(OrvaneInterface*, uint32_t index) {
    return SelectField(u"Orvane::SelectFieldInteger", false, index);
}

ORVANE_API uint32_t SelectFieldEnum(OrvaneInterface*, int32_t field) {
    return SelectField(u"Orvane::SelectFieldEnum", true, static_cast<uint32_t>(field));
}

ORVANE_API uint32_t GetFieldTitle(OrvaneInterface*, const OrvaneChar** title) {
    ORV_ENTRY(u"Orvane::GetFieldTitle");
    if (title)
        *title = nullptr;
    uint32_t status;
    CFru* fru = SelectedFru(u"Orvane::GetFieldTitle", Needs::Field, &status);
    if (!fru)
        return status;
    const uint32_t index = state->selectedField;
    const char16_t* text = nullptr;
    if (!AreaKinds::WithFieldArea(*fru, static_cast<int32_t>(state->selectedArea), false,
                                  [&](auto& area) {
                                      text = area.GetFieldTitleFromIndex(index);
                                      return true;
                                  })) {
        return Frame::Unexpected(u"Orvane::GetFieldTitle", ORVANE_E_BAD_ARGUMENT);
    }
    if (!title)
        return Frame::Unexpected(u"Orvane::GetFieldTitle", ORVANE_E_BAD_ARGUMENT);
    *title = text;
    ORV_EXIT(u"Orvane::GetFieldTitle");
    return ORVANE_OK;
}

ORVANE_API uint32_t GetFieldStringValue(OrvaneInterface*, const OrvaneChar** value) {
    ORV_ENTRY(u"Orvane::GetFieldStringValue");
    if (value)
        *value = nullptr;
    uint32_t status;
    CFru* fru = SelectedFru(u"Orvane::GetFieldStringValue", Needs::Field, &status);
    if (!fru)
        return status;
    if (!value)
        return Frame::Unexpected(u"Orvane::GetFieldStringValue", ORVANE_E_BAD_ARGUMENT);
    const uint32_t index = state->selectedField;
    if (!AreaKinds::WithFieldArea(*fru, static_cast<int32_t>(state->selectedArea), false,
                                  [&](auto& area) {
                                      *value = area.GetFieldValueFromIndex(index);
                                      return true;
                                  })) {
        Frame::Fail(u"Orvane::GetFieldStringValue", u"Unsupported", kMsgUnsupported);
        return ORVANE_E_BAD_ARGUMENT;
    }
    ORV_EXIT(u"Orvane::GetFieldStringValue");
    return ORVANE_OK;
}

ORVANE_API uint32_t GetFieldDataValue(OrvaneInterface*, const uint8_t** data, uint32_t* length) {
    ORV_ENTRY(u"Orvane::GetFieldDataValue");
    if (data)
        *data = nullptr;
    if (length)
        *length = 0;
    uint32_t status;
    CFru* fru = SelectedFru(u"Orvane::GetFieldDataValue", Needs::Field, &status);
    if (!fru)
        return status;
    const uint32_t kind = state->selectedArea;
    if (kind != ORVANE_AREA_CHASSIS && kind != ORVANE_AREA_BOARD && kind != ORVANE_AREA_PRODUCT) {
        Frame::Fail(u"Orvane::GetFieldDataValue", u"Unsupported", kMsgUnsupported);
        return ORVANE_E_UNSUPPORTED;
    }
    if (!data || !length)
        return Frame::Unexpected(u"Orvane::GetFieldDataValue", ORVANE_E_BAD_ARGUMENT);
    const uint32_t index = state->selectedField;
    bool ok = kind == ORVANE_AREA_CHASSIS ? fru->chassisArea.GetFieldData(index, data, length)
              : kind == ORVANE_AREA_BOARD ? fru->boardArea.GetFieldData(index, data, length)
                                          : fru->productArea.GetFieldData(index, data, length);
    if (!ok) {
        *data = nullptr;
        *length = 0;
        const InfoAreaFailure failure = GetDataFailure(kind);
        Frame::Fail(u"Orvane::GetFieldDataValue", failure.reason, failure.message);
        return ORVANE_E_GET_FIELD_DATA;
    }
    ORV_EXIT(u"Orvane::GetFieldDataValue");
    return ORVANE_OK;
}

ORVANE_API uint32_t SetFieldDataValue(OrvaneInterface*, const uint8_t* data, uint32_t length) {
    ORV_ENTRY(u"Orvane::SetFieldDataValue");
    uint32_t status;
    CFru* fru = SelectedFru(u"Orvane::SetFieldDataValue", Needs::Field, &status);
    if (!fru)
        return status;
    const uint32_t kind = state->selectedArea;
    if (kind != ORVANE_AREA_CHASSIS && kind != ORVANE_AREA_BOARD && kind != ORVANE_AREA_PRODUCT) {
        Frame::Fail(u"Orvane::SetFieldDataValue", u"Unsupported", kMsgUnsupported);
        return ORVANE_E_UNSUPPORTED;
    }
    // Null bytes go to the area's setter, which refuses them whatever the
    // length: a host that passes null for an empty text must not blank a
    // field. Nor may a change leave an image that ends past the last offset
    // a device can address (area lengths do not change with a field, so an
    // image that already ends past it cannot be changed).
    const uint32_t index = state->selectedField;
    bool ok = fru->GetLaidOutLength() <= Ipmi::kFruOffsetLimit;
    if (ok)
        ok = kind == ORVANE_AREA_CHASSIS
                 ? fru->chassisArea.SetFieldData(index, data, length, kTextTypeBits)
             : kind == ORVANE_AREA_BOARD
                 ? fru->boardArea.SetFieldData(index, data, length, kTextTypeBits)
                 : fru->productArea.SetFieldData(index, data, length, kTextTypeBits);
    if (!ok) {
        const InfoAreaFailure failure = SetDataFailure(kind);
        Frame::Fail(u"Orvane::SetFieldDataValue", failure.reason, failure.message);
        return ORVANE_E_SET_FIELD_DATA;
    }
    ORV_EXIT(u"Orvane::SetFieldDataValue");
    return ORVANE_OK;
}

ORVANE_API uint32_t GetMaxFieldSize(OrvaneInterface*, uint32_t* size) {
    ORV_ENTRY(u"Orvane::GetMaxFieldSize");
    if (size)
        *size = 0;
    uint32_t status;
    CFru* fru = SelectedFru(u"Orvane::GetMaxFieldSize", Needs::Area, &status);
    if (!fru)
        return status;
    if (!size)
        return Frame::Unexpected(u"Orvane::GetMaxFieldSize", ORVANE_E_BAD_ARGUMENT);
    int32_t pad = 0;
    switch (state->selectedArea) {
    case ORVANE_AREA_COMMON_HEADER:
        break; // no fields: a size of 0
    case ORVANE_AREA_CHASSIS:
        pad = fru->chassisArea.GetPadLength();
        break;
    case ORVANE_AREA_BOARD:
        pad = fru->boardArea.GetPadLength();
        break;
    case ORVANE_AREA_PRODUCT:
        pad = fru->productArea.GetPadLength();
        break;
    default:
        // The internal use and multi-record areas have no text fields to grow.
        Frame::Fail(u"Orvane::GetMaxFieldSize", u"Unexpected", kMsgUnsupported);
        return ORVANE_E_UNSUPPORTED;
    }
    // An area whose fields already overrun its length has no room at all.
    *size = pad > 0 ? static_cast<uint32_t>(pad) : 0;
    ORV_EXIT(u"Orvane::GetMaxFieldSize");
    return ORVANE_OK;
}

ORVANE_API uint32_t GetAreaData(OrvaneInterface* api, uint8_t* data, uint32_t* size) {
    // The size is the capacity on entry and is cleared before anything else,
    // so every failure leaves it 0.
    const uint32_t capacity = size ? *size : 0;
    if (size)
        *size = 0;
    ORV_ENTRY(u"Orvane::GetAreaData");
    uint32_t status;
    CFru* fru = AreaDataFru(u"Orvane::GetAreaData", api, data, &status);
    if (!fru)
        return status;
    if (!size)
        return AreaDataFailure(u"Orvane::GetAreaData", ORVANE_E_BAD_ARGUMENT);
    switch (state->selectedArea) {
    case ORVANE_AREA_COMMON_HEADER:
        if (capacity != FruDefs::kCommonHeaderBytes)
            return AreaDataFailure(u"Orvane::GetAreaData", ORVANE_E_INTERNAL);
        fru->SerializeCommonHeader(data);
        *size = FruDefs::kCommonHeaderBytes;
        break;
    case ORVANE_AREA_INTERNAL_USE: {
        const uint32_t length = fru->internalArea.GetLength();
        if (capacity < length)
            return AreaDataFailure(u"Orvane::GetAreaData", ORVANE_E_INTERNAL);
        if (length)
            std::memcpy(data, fru->internalArea.GetData(), length);
        *size = length;
        break;
    }
    case ORVANE_AREA_MULTIRECORD: {
        uint32_t written = capacity;
        if (fru->SerializeMultiRecArea(data, &written) != 0)
            return AreaDataFailure(u"Orvane::GetAreaData", ORVANE_E_INTERNAL);
        *size = written;
        break;
    }
    default:
        return AreaDataFailure(u"Orvane::GetAreaData", ORVANE_E_UNSUPPORTED);
    }
    ORV_EXIT(u"Orvane::GetAreaData");
    return ORVANE_OK;
}

ORVANE_API uint32_t SetAreaData(OrvaneInterface* api, const uint8_t* data, uint32_t length) {
    ORV_ENTRY(u"Orvane::SetAreaData");
    uint32_t status;
    CFru* fru = AreaDataFru(u"Orvane::SetAreaData", api, data, &status);
    if (!fru)
        return status;
    switch (state->selectedArea) {
    case ORVANE_AREA_INTERNAL_USE:
        // The internal use area keeps its length: its neighbours' offsets in
        // the common header depend on it.
        if (length != fru->internalArea.GetLength() ||
            fru->GetLaidOutLength() > Ipmi::kFruOffsetLimit ||
            !fru->internalArea.SetData(data, length, 1))
            return AreaDataFailure(u"Orvane::SetAreaData", ORVANE_E_UNSUPPORTED);
        break;
    case ORVANE_AREA_MULTIRECORD:
        // The records follow the other areas on the device; the image must
        // end by the last offset a device can address (which also keeps the
        // length within its 16 bits).
        if (fru->GetLaidOutLength(false) > Ipmi::kFruOffsetLimit ||
            length > Ipmi::kFruOffsetLimit - fru->GetLaidOutLength(false))
            return AreaDataFailure(u"Orvane::SetAreaData", ORVANE_E_UNSUPPORTED);
        status = fru->SetMultiRecArea(data, static_cast<uint16_t>(length), 1);
        if (status != ORVANE_OK) {
            ORV_EXIT(u"Orvane::SetAreaData");
            return status;
        }
        break;
    default:
        return AreaDataFailure(u"Orvane::SetAreaData", ORVANE_E_UNSUPPORTED);
    }
    ORV_EXIT(u"Orvane::SetAreaData");
    return ORVANE_OK;
}

ORVANE_API uint32_t GetAreaSize(OrvaneInterface* api, uint32_t* size) {
    ORV_ENTRY(u"Orvane::GetAreaSize");
    if (size)
        *size = 0;
    uint32_t status;
    // The size is an out-pointer, not area data: a null one is a bad
    // argument, checked after the state.
    CFru* fru = AreaDataFru(u"Orvane::GetAreaSize", api, api, &status);
    if (!fru)
        return status;
    if (!size)
        return AreaDataFailure(u"Orvane::GetAreaSize", ORVANE_E_BAD_ARGUMENT);
    switch (state->selectedArea) {
    case ORVANE_AREA_INTERNAL_USE:
        *size = fru->internalArea.GetLength();
        break;
    case ORVANE_AREA_MULTIRECORD:
        *size = fru->multiRecLength;
        break;
    default:
        return AreaDataFailure(u"Orvane::GetAreaSize", ORVANE_E_UNSUPPORTED);
    }
    ORV_EXIT(u"Orvane::GetAreaSize");
    return ORVANE_OK;
}

} // extern "C"
