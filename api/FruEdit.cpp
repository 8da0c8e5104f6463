#include "api/FruEdit.h"

#include "api/AreaKinds.h"
#include "api/ImageModel.h"
#include "api/LibraryState.h"
#include "fru/CFru.h"
#include "fru/FruDefs.h"
#include "orvane/orvane.h"
#include "system/FruImage.h"

#include <iterator>

namespace FruEdit {
namespace {

// The bytes of one area as the commit writes them.
std::vector<uint8_t> AreaBytes(CFru& fru, uint32_t kind, uint32_t length) {
    const AreaKinds::Kind& k = *AreaKinds::Of(static_cast<int32_t>(kind));
    if (!k.data) {
        std::vector<uint8_t> bytes;
        for (const MultiRecord* r = fru.multiRecords; r; r = r->next) {
            bytes.insert(bytes.end(), r->header, r->header + FruDefs::kMultiRecHeaderBytes);
            bytes.insert(bytes.end(), r->data, r->data + r->DataLength());
        }
        return bytes;
    }
    const uint8_t* data = k.data(fru);
    return data ? std::vector<uint8_t>(data, data + length) : std::vector<uint8_t>(length, 0);
}

uint8_t* HeaderOffsetOf(CFruHeader& h, uint32_t kind) {
    return &(h.*AreaKinds::Of(static_cast<int32_t>(kind))->headerOffset);
}

// Sets an info area's length, and takes it back when its fields no longer fit.
template <typename Area> bool Resize(Area& area, uint32_t bytes) {
    const uint32_t before = area.GetLength();
    if (!area.SetLength(bytes))
        return false;
    if (area.GetPadLength() >= 0)
        return true;
    area.SetLength(before);
    return false;
}

} // namespace

Selection Selected() {
    Selection at;
    LibraryState* state = Globals::state;
    if (!state || !state->currentList || state->selectedFru == LibraryState::kNone)
        return at;
    at.fruSelected = true;
    at.fru = state->currentList->GetAt(state->selectedFru);
    at.area = static_cast<int32_t>(state->selectedArea);
    at.fieldSelected = state->selectedField != LibraryState::kNone;
    at.field = state->selectedField;
    return at;
}

CFru* SelectedFru() {
    return Globals::initialised ? Selected().fru : nullptr;
}

bool LayoutCommit(CFru* fru, CommitLayout* layout) {
    if (!fru)
        return false;
    const FruImage::CommitPlan plan = FruImage::PlanCommit(*fru);
    const uint8_t* header = fru->header.GetData();
    layout->header.assign(header, header + FruDefs::kCommonHeaderBytes);
    layout->areas.clear();
    for (const FruImage::CommitArea& a : plan.areas) {
        if (!a.present)
            continue;
        AreaLayout area;
        area.kind = static_cast<int32_t>(a.kind);
        area.headerOffset = *HeaderOffsetOf(fru->header, a.kind) * FruDefs::kUnitBytes;
        area.commitOffset = a.offset;
        area.written = a.written;
        area.bytes = AreaBytes(*fru, a.kind, a.length);
        layout->areas.push_back(std::move(area));
    }
    layout->end = plan.end;
    return true;
}

bool Repack(CFru* fru) {
    if (!fru)
        return false;
    const FruImage::CommitPlan plan = FruImage::PlanCommit(*fru);
    for (const FruImage::CommitArea& a : plan.areas)
        if (a.present &&
            (a.offset % FruDefs::kUnitBytes != 0 || a.offset / FruDefs::kUnitBytes > 0xFF))
            return false;
    for (const FruImage::CommitArea& a : plan.areas) {
        if (!a.present)
            continue;
        *HeaderOffsetOf(fru->header, a.kind) = static_cast<uint8_t>(a.offset / FruDefs::kUnitBytes);
        AreaKinds::Of(static_cast<int32_t>(a.kind))->markModified(*fru);
    }
    CFruHeader& h = fru->header;
    const uint8_t first[] = {h.formatVersion,
                             h.internalOffset,
                             h.chassisOffset,
                             h.boardOffset,
                             h.productOffset,
                             h.multiRecOffset,
                             h.pad};
    h.checksum = static_cast<uint8_t>(CFru::CalculateChecksum(first, std::size(first)));
    return true;
}

bool ResizeArea(CFru* fru, int32_t kind, uint32_t bytes) {
    if (!fru)
        return false;
    return AreaKinds::WithInfoArea(*fru, kind, false, [&](auto& area) {
        return (fru->*AreaKinds::Of(kind)->present)() && Resize(area, bytes);
    });
}

bool ImageOf(CFru* fru, std::vector<uint8_t>* image) {
    ImageModel::ImageView view;
    if (!ImageModel::Describe(fru, &view))
        return false;
    image->assign(view.header.begin(), view.header.end());
    std::vector<bool> used(FruDefs::kCommonHeaderBytes, true);
    for (const ImageModel::AreaImage& a : view.areas) {
        const size_t end = a.offset + a.bytes.size();
        if (end > image->size()) {
            image->resize(end, 0xFF);
            used.resize(end, false);
        }
        for (size_t i = a.offset; i < end; ++i) {
            if (used[i])
                return false;
            used[i] = true;
            (*image)[i] = a.bytes[i - a.offset];
        }
    }
    return true;
}

uint32_t SetField(const Selection& at, const uint8_t* data, uint32_t length, uint8_t typeBits) {
    if (!at.fruSelected || !at.fieldSelected)
        return ORVANE_E_NOT_SELECTED;
    static const uint8_t kNoBytes[1] = {0};
    const uint8_t* bytes = data ? data : kNoBytes;
    if (!at.fru)
        return ORVANE_E_UNSUPPORTED;
    return AreaKinds::WithInfoArea(
        *at.fru, at.area, ORVANE_E_UNSUPPORTED, [&](auto& area) -> uint32_t {
            return area.SetFieldData(at.field, bytes, length, typeBits) ? ORVANE_OK
                                                                        : ORVANE_E_SET_FIELD_DATA;
        });
}

void SetCommitAreaHook(void (*hook)(int32_t kind)) {
    FruImage::SetCommitAreaHook(hook);
}

} // namespace FruEdit
