#include "api/ImageModel.h"

#include "api/AreaKinds.h"
#include "fru/CFru.h"
#include "fru/FruDefs.h"
#include "fru/ImageLayout.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/MessageIds.h"
#include "support/Utf16.h"

#include <algorithm>
#include <memory>
#include <new>

namespace ImageModel {
namespace {
using FruDefs::kNameBufferBytes;
constexpr uint8_t kHeaderFormatMask = 0x07;

std::u16string Copy(const char16_t* text) {
    return text ? std::u16string(text) : std::u16string();
}

// The library's message of index, formatted with the FRU's display name.
std::u16string Message(uint32_t index, const FruLocator& locator) {
    char16_t name[kNameBufferBytes / 2];
    const char16_t* fru = CFru::GetFriendlyFruIdentifier(&locator, name, kNameBufferBytes);
    const char16_t* format = Frame::GetString(index);
    return format ? Utf16::FormatString(format, fru) : std::u16string();
}

// The fields of an info area: fixed fields by their type/length bytes, then
// the custom chain in image order, each with the index its value comes from.
template <typename Area>
void InfoFields(Area& area, const std::vector<uint8_t>& fixedTypeLengths, uint32_t untyped,
                AreaImage* out) {
    const uint32_t fixed = static_cast<uint32_t>(fixedTypeLengths.size()) + untyped;
    const uint32_t customCount = area.GetNumberOfCustomFields();
    const CCustomField* custom = area.GetCustomFields();
    for (uint32_t i = 0; i < fixed + customCount; ++i) {
        FieldImage f;
        f.custom = i >= fixed;
        f.valueIndex = f.custom ? fixed + (customCount - 1 - (i - fixed)) : i;
        f.title = Copy(area.GetFieldTitleFromIndex(f.valueIndex));
        f.value = Copy(area.GetFieldValueFromIndex(f.valueIndex));
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        if (area.GetFieldData(i, &data, &size) && data)
            f.data.assign(data, data + size);
        if (i >= untyped && !f.custom) {
            f.typed = true;
            f.typeLength = fixedTypeLengths[i - untyped];
        } else if (f.custom && custom) {
            f.typed = true;
            f.typeLength = custom->typeLength;
            custom = custom->next;
        }
        out->fields.push_back(std::move(f));
    }
    out->formatVersion = area.GetFormatVersion();
    out->padLength = area.GetPadLength();
}

// Fills the fields of an area that its object holds.
void DescribeArea(CFru& fru, AreaImage* a) {
    switch (a->kind) {
    case ORVANE_AREA_INTERNAL_USE: {
        CInternalUseArea& area = fru.internalArea;
        if (area.GetLength() == 0)
            break;
        FieldImage f;
        f.title = Copy(area.GetFieldTitleFromIndex(0));
        f.value = Copy(area.GetFieldValueFromIndex(0));
        f.data.assign(area.GetData(), area.GetData() + area.GetLength());
        a->fields.push_back(std::move(f));
        a->formatVersion = area.GetData()[0];
        break;
    }
    case ORVANE_AREA_CHASSIS: {
        CChassisInfoArea& area = fru.chassisArea;
        InfoFields(area, {area.GetPartNumberTL(), area.GetSerialNumberTL()}, 1, a);
        a->chassisType = area.GetType();
        break;
    }
    case ORVANE_AREA_BOARD: {
        CBoardInfoArea& area = fru.boardArea;
        InfoFields(area,
                   {area.GetManufacturerTL(), area.GetProductNameTL(), area.GetSerialNumberTL(),
                    area.GetPartNumberTL(), area.GetFileIdTL()},
                   1, a);
        a->languageCode = area.GetLanguageCode();
        a->hasLanguage = true;
        break;
    }
    case ORVANE_AREA_PRODUCT: {
        CProductInfoArea& area = fru.productArea;
        InfoFields(area,
                   {area.GetManufacturerNameTL(), area.GetProductNameTL(), area.GetPartNumberTL(),
                    area.GetVersionTL(), area.GetSerialNumberTL(), area.GetAssetTagTL(),
                    area.GetFileIdTL()},
                   0, a);
        a->languageCode = area.GetLanguageCode();
        a->hasLanguage = true;
        break;
    }
    default:
        break;
    }
}

// The bytes an area holds in memory, as they would be written.
std::vector<uint8_t> HeldBytes(CFru& fru, int32_t kind) {
    const AreaKinds::Kind* k = AreaKinds::Of(kind);
    if (!k)
        return {};
    if (k->data) {
        // The length first: the area reports both through its trace lines
        // in this order.
        const uint32_t length = k->length(fru);
        const uint8_t* data = k->data(fru);
        return std::vector<uint8_t>(data, data + length);
    }
    std::vector<uint8_t> bytes(fru.multiRecLength);
    uint32_t size = fru.multiRecLength;
    if (fru.SerializeMultiRecArea(bytes.data(), &size) != 0)
        size = 0;
    bytes.resize(size);
    return bytes;
}

// Gives the area object of kind the area's bytes, as far as the image's
// layout says the area reaches; sets the problem when the object refuses
// them or they run past the image.
void ParseArea(CFru& fru, std::span<const uint8_t> image, const ImageLayout::Area& extent,
               AreaImage* a) {
    const uint8_t* start = image.data() + a->offset;
    const uint32_t available = static_cast<uint32_t>(image.size() - a->offset);
    uint32_t declared = extent.declared;
    bool taken = false;
    switch (a->kind) {
    case ORVANE_AREA_INTERNAL_USE:
        if (extent.misplaced)
            a->problem = AreaProblem::Placement;
        // The area class holds at most one area's bytes.
        declared = std::min<uint32_t>(extent.shownEnd - extent.offset, FruDefs::kMaxAreaBytes);
        taken = fru.internalArea.SetData(start, std::min(declared, available), 0);
        break;
    case ORVANE_AREA_CHASSIS:
    case ORVANE_AREA_BOARD:
    case ORVANE_AREA_PRODUCT:
        taken = AreaKinds::WithInfoArea(
            fru, a->kind, false, [&](auto& area) { return area.SetData(start, extent.readable); });
        if (!taken && extent.checksummed && extent.storedChecksum != extent.computedChecksum)
            a->problem = AreaProblem::Checksum;
        break;
    case ORVANE_AREA_MULTIRECORD:
        taken = fru.SetMultiRecArea(start, static_cast<uint16_t>(extent.readable), 0) == 0 &&
                fru.CheckMultiRecCheckSum() && extent.readable == declared;
        if (!taken)
            a->problem = AreaProblem::Records;
        break;
    default:
        break;
    }
    a->bytes.assign(start, start + std::min(declared, available));
    if (declared > available && a->problem == AreaProblem::None)
        a->problem = AreaProblem::OutsideImage;
    else if (!taken && a->problem == AreaProblem::None)
        a->problem = AreaProblem::Refused;
    if (taken || a->kind == ORVANE_AREA_INTERNAL_USE)
        DescribeArea(fru, a);
}

std::u16string AreaName(int32_t kind) {
    return Copy(Frame::GetString(AreaKinds::Of(kind)->name));
}

// The areas a layout holds (those the header declares, in the order of
// kinds), each with its kind, name and offset; the rest is the caller's to
// fill.
std::vector<AreaImage> DeclaredAreas(const ImageLayout::Layout& layout) {
    std::vector<AreaImage> areas;
    for (const ImageLayout::Area& e : layout.areas) {
        AreaImage a;
        a.kind = e.kind;
        a.name = AreaName(e.kind);
        a.offset = e.offset;
        areas.push_back(std::move(a));
    }
    return areas;
}

} // namespace

namespace {
// ParseImage into fru, which keeps what its area classes took.
ImageView ParseInto(CFru* fru, std::span<const uint8_t> image, const std::u16string& name) {
    ImageView view;
    fru->locator.SetName(name.c_str());
    const size_t headerBytes = std::min<size_t>(image.size(), FruDefs::kCommonHeaderBytes);
    view.header.assign(image.begin(), image.begin() + static_cast<ptrdiff_t>(headerBytes));
    if (headerBytes < FruDefs::kCommonHeaderBytes || (image[0] & kHeaderFormatMask) != 1) {
        view.headerMessage = Message(kMsgNotIpmiFru, fru->locator);
        return view;
    }
    fru->DecodeHeader(image.data());
    if (!fru->header.IsValid()) {
        view.headerMessage = Message(kMsgBadHeader, fru->locator);
        return view;
    }
    view.headerValid = true;
    view.accepted = true;
    const ImageLayout::Layout layout = ImageLayout::Parse(image);
    view.areas = DeclaredAreas(layout);
    for (size_t i = 0; i < view.areas.size(); ++i) {
        AreaImage& a = view.areas[i]; // described by layout.areas[i]
        if (layout.areas[i].pastImage)
            a.problem = AreaProblem::OutsideImage;
        else
            ParseArea(*fru, image, layout.areas[i], &a);
        if (a.problem != AreaProblem::None) {
            a.message = Message(AreaKinds::Of(a.kind)->refused, fru->locator);
            view.accepted = false;
        }
    }
    return view;
}
} // namespace

ImageView ParseImage(std::span<const uint8_t> image, const std::u16string& name) {
    auto fru = std::unique_ptr<CFru>(new (std::nothrow) CFru());
    return fru ? ParseInto(fru.get(), image, name) : ImageView();
}

void FruDeleter::operator()(CFru* fru) const {
    delete fru;
}

HeldFru HoldImage(std::span<const uint8_t> image, const std::u16string& name) {
    HeldFru fru(new (std::nothrow) CFru());
    if (!fru)
        return fru;
    const ImageView view = ParseInto(fru.get(), image, name);
    const bool sound = std::all_of(view.areas.begin(), view.areas.end(), [](const AreaImage& a) {
        return a.problem == AreaProblem::None || a.problem == AreaProblem::Placement;
    });
    if (!view.headerValid || !sound)
        fru.reset();
    return fru;
}

bool Describe(CFru* fru, ImageView* view) {
    if (!fru)
        return false;
    *view = ImageView();
    view->header.resize(FruDefs::kCommonHeaderBytes);
    fru->SerializeCommonHeader(view->header.data());
    view->headerValid = true;
    view->accepted = true;
    view->areas = DeclaredAreas(ImageLayout::Parse(view->header));
    for (AreaImage& a : view->areas) {
        a.bytes = HeldBytes(*fru, a.kind);
        DescribeArea(*fru, &a);
    }
    return true;
}

} // namespace ImageModel
