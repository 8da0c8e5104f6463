#include "cmd/CommandSupport.h"
#include "app/Report.h"
#include "cmd/CommandTable.h"

#include "api/DeviceAccess.h"
#include "api/FruEdit.h"
#include "api/ImageModel.h"
#include "cmd/Commands.h"
#include "decode/FieldEncoding.h"
#include "device/FileOperand.h"
#include "device/ImageSource.h"
#include "device/RawImage.h"
#include "device/Unreadable.h"
#include "view/FieldValues.h"
#include "view/FruViews.h"
#include "view/JsonWriter.h"
#include "view/Render.h"
#include "view/Spelling.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace Commands {

std::u16string Wide(const std::string& s) {
    return Text::FromUtf8(s);
}

int Usage(const std::string& command, const std::string& problem) {
    return Report::Usage(command, problem);
}

int NoSuchField(const std::string& command, const std::string& name) {
    return Usage(command, Text::Format(_("\"%s\" names no field"), name.c_str()) +
                              Spelling::DidYouMean(name, FieldNames::All()));
}

bool LoadFile(Session& s, const std::string& path) {
    FileOperand::Stamp stamp;
    if (const std::string problem = FileOperand::Check(path, FileOperand::kTextBytes, &stamp);
        !problem.empty()) {
        Report::Say("%s\n", problem.c_str());
        return false;
    }
    if (uint32_t status = LoadConfigurationFromFile(s.Api(), Wide(path).c_str());
        status != ORVANE_OK) {
        s.Fail(Text::Format(_("reading %s"), path.c_str()), status);
        // A raw image starts with the common header's format version 1.
        std::ifstream file(path, std::ios::binary);
        if (file.get() == 0x01)
            Report::Say(_("%s looks like a raw FRU image: use --image %s\n"), path.c_str(),
                        path.c_str());
        return false;
    }
    if (const std::string changed = FileOperand::Unchanged(path, stamp); !changed.empty()) {
        Report::Say("%s\n", changed.c_str());
        return false;
    }
    return true;
}

// Loads the FRUs a command works on: the system, or one configuration file.
bool LoadSource(Session& s, const Options& o) {
    if (!o.file.empty())
        return LoadFile(s, o.file); // the file list is selected with the new FRU
    // An image file is served as a device, but no repository is scanned for
    // it: the load's progress lines would only mislead.
    if (!o.image.empty())
        SetProgressCallback(s.Api(), nullptr);
    if (!s.LoadSystem())
        return false;
    if (uint32_t status = SelectList(s.Api(), ORVANE_LIST_SYSTEM); status != ORVANE_OK) {
        s.Fail(_("selecting the system list"), status);
        return false;
    }
    return true;
}

// Selects the FRU a command names: the file's FRU, or a FRU of the system.
bool SelectTarget(Session& s, const Options& o, const std::string* designation,
                  uint32_t* position) {
    if (!o.file.empty()) {
        *position = s.Count() - 1;
        return SelectFru(s.Api(), *position) == ORVANE_OK;
    }
    if (!o.image.empty()) {
        *position = 0;
        if (s.Count() == 0) {
            Report::Say(_("the library refuses the image %s as a whole; orvane show "
                          "--image %s shows what can be read of it\n"),
                        o.image.c_str(), o.image.c_str());
            return false;
        }
        return SelectFru(s.Api(), 0) == ORVANE_OK;
    }
    return s.SelectFru(*designation, position);
}

namespace {
// A located device the load did not read: a damaged one from its raw bytes,
// unless --strict; otherwise the reason.
bool DescribeFailedDevice(const Options& o, DeviceAccess::LocatedDevice* device, uint32_t position,
                          FruView* view) {
    const std::string address = device->address.Format();
    if (device->damaged && o.strict) {
        Report::Say(_("the library refuses the image of %s at %s (0x%08X: %s); "
                      "without --strict, orvane show shows what can be read of it\n"),
                    device->name.c_str(), address.c_str(), device->status, device->message.c_str());
        return false;
    }
    if (device->damaged && Unreadable::Describe(device, position, view))
        return true;
    Report::Say(_("the FRU device %s at %s cannot be read (0x%08X: %s)\n"), device->name.c_str(),
                address.c_str(), device->status, device->message.c_str());
    return false;
}
} // namespace

bool DescribeTarget(Session& s, const Options& o, const std::string* designation,
                    uint32_t* position, FruView* view) {
    if (!o.image.empty() && s.Count() == 0 && !o.strict && o.imageSource) {
        std::vector<uint8_t> bytes;
        std::string error;
        if (!o.imageSource->Read(&bytes, &error)) {
            Report::Say("%s\n", error.c_str());
            return false;
        }
        *position = 0;
        view->position = 0;
        view->name = o.imageSource->Name();
        // An image file is shown, not edited, on this path.
        FruViews::FillSalvaged(bytes, Wide(view->name), view);
        view->address = FruAddress{2, 0, 0xFF, 0x20, 0x20, 0}; // the image's simulated device
        return true;
    }
    if (designation && o.file.empty() && o.image.empty())
        if (const auto at = Unreadable::Named(s, *designation)) {
            DeviceAccess::LocatedDevice device = s.Slots()[*at].device;
            return DescribeFailedDevice(o, &device, static_cast<uint32_t>(*at), view);
        }
    if (!SelectTarget(s, o, designation, position) || !s.Describe(*position, view))
        return false;
    if (o.imageSource)
        view->name = o.imageSource->Name();
    return true;
}

const ImageModel::AreaImage* FindField(const FruView& view, const FieldNames::Field& field,
                                       const std::string& name, size_t* index) {
    static constexpr int32_t kFirstEnumerator[] = {0, 0, 1, 2, 5, 11};
    const uint32_t named =
        field.byEnumerator ? static_cast<uint32_t>(field.enumerator - kFirstEnumerator[field.area])
                           : field.index;
    const std::string key = FieldNames::Name(field.area, named);
    for (const auto& area : view.image.areas)
        for (size_t i = 0; i < area.fields.size(); ++i)
            if (area.kind == field.area && FruViews::Key(area, i) == key) {
                *index = i;
                return &area;
            }
    const char* kind = FieldNames::AreaKey(field.area);
    if (const ImageModel::AreaImage* area = FruViews::Area(view, field.area); !area)
        Report::Refused(_("%s: the FRU %s has no %s area\n"), name.c_str(), view.name.c_str(),
                        kind);
    else if (const std::string problem = FruViews::ProblemText(*area); !problem.empty())
        Report::Refused(_("%s: the %s area of the FRU %s is damaged: %s\n"), name.c_str(), kind,
                        view.name.c_str(), problem.c_str());
    else
        Report::Refused(_("the FRU %s has no field %s\n"), view.name.c_str(), name.c_str());
    return nullptr;
}

bool SelectArea(Session& s, int32_t area) {
    if (uint32_t status = SelectAreaEnum(s.Api(), area); status != ORVANE_OK) {
        s.Fail(_("selecting the area"), status);
        return false;
    }
    uint32_t count = 0;
    // An absent area selects nothing; the field count then says so.
    if (GetNumberOfFields(s.Api(), &count) == ORVANE_E_NOT_SELECTED) {
        Report::Say(_("the FRU has no %s area\n"), FieldNames::AreaKey(area));
        return false;
    }
    return true;
}

bool SelectNamedField(Session& s, const FieldNames::Field& field, const std::string& name) {
    if (!SelectArea(s, field.area))
        return false;
    const uint32_t status = field.byEnumerator ? SelectFieldEnum(s.Api(), field.enumerator)
                                               : SelectFieldInteger(s.Api(), field.index);
    if (status != ORVANE_OK) {
        s.Fail(Text::Format(_("selecting %s"), name.c_str()), status);
        return false;
    }
    return true;
}

// The bytes a value stands for in a field: hex for the internal use data, a
// date for the board's manufacturing date, a number for the chassis type,
// the text itself otherwise.
bool FieldBytes(const FieldNames::Field& field, uint32_t index, const std::string& value,
                const std::vector<uint8_t>& current, std::vector<uint8_t>* bytes,
                std::string* problem) {
    if (field.area == ORVANE_AREA_INTERNAL_USE) {
        auto hex = Text::ParseHex(value);
        if (!hex) {
            *problem = _("the internal use data is given as hex bytes, e.g. \"01 00 FF\"");
            return false;
        }
        *bytes = *hex;
        return true;
    }
    if (field.area == ORVANE_AREA_BOARD && index == 0) {
        const auto minutes = FieldValues::BoardMinutes(value, problem);
        if (!minutes)
            return false;
        *bytes = {static_cast<uint8_t>(*minutes), static_cast<uint8_t>(*minutes >> 8),
                  static_cast<uint8_t>(*minutes >> 16)};
        return true;
    }
    if (field.area == ORVANE_AREA_CHASSIS && index == 0) {
        const auto type = FieldValues::ChassisType(value, current.empty() ? 0 : current[0]);
        if (!type) {
            *problem = Text::Format(_("\"%s\" is no chassis type: give its name as get prints "
                                      "it (e.g. \"Rack Mount Chassis\") or its number (0x17)"),
                                    value.c_str());
            return false;
        }
        *bytes = {*type};
        return true;
    }
    bytes->assign(value.begin(), value.end());
    return true;
}

std::vector<uint8_t> HeldBytes(const FieldNames::Field& field) {
    ImageModel::ImageView held;
    const ImageModel::AreaImage* area = HeldArea(FruEdit::SelectedFru(), &held, field.area);
    const ImageModel::FieldImage* f = area ? FieldBySetter(*area, field.index) : nullptr;
    return f ? f->data : std::vector<uint8_t>();
}

// Sets the selected field (or the internal use data) to bytes, after the
// checks that keep a FRU readable. Returns an exit code.
int ApplyValue(Session& s, const Options& o, const FieldNames::Field& field,
               const std::string& name, const std::string& typed, const std::vector<uint8_t>& bytes,
               uint8_t typeBits) {
    if (field.area == ORVANE_AREA_INTERNAL_USE) {
        uint32_t size = 0;
        GetAreaSize(s.Api(), &size);
        if (bytes.size() != size) {
            return Report::Refused(_("%s takes exactly %u bytes (got %zu)\n"), name.c_str(), size,
                                   bytes.size());
        }
        if (uint32_t status = SetAreaData(s.Api(), bytes.data(), size); status != ORVANE_OK)
            return s.Fail(Text::Format(_("setting %s"), name.c_str()), status);
        return kExitOk;
    }
    // Texts (all fields but the date and the chassis type) are type/length coded.
    const bool text =
        field.index != 0 || (field.area != ORVANE_AREA_BOARD && field.area != ORVANE_AREA_CHASSIS);
    if (text) {
        const auto currentLength = static_cast<uint32_t>(HeldBytes(field).size());
        if (bytes.size() == 1 && typeBits == 0xC0 && !o.force) {
            return Report::Refused(
                _("a one-byte text is stored with the type/length byte 0xC1, "
                  "which FRU readers take as the end of the area; the fields after it "
                  "would be lost. Use two or more bytes, or --force.\n"));
        }
        uint32_t room = 0;
        GetMaxFieldSize(s.Api(), &room);
        const uint32_t limit = std::min<uint32_t>(kMaxFieldBytes, currentLength + room);
        if (bytes.size() > limit)
            return Report::Refused(
                "%s%s\n",
                Text::Format(_("%s can take at most %u bytes here (%u now, %u free in the area, "
                               "63 at most); \"%s\" needs %zu"),
                             name.c_str(), limit, currentLength, room, typed.c_str(), bytes.size())
                    .c_str(),
                bytes.size() > kMaxFieldBytes
                    ? _("; no field holds more than 63 bytes, so --grow cannot make room")
                    : _("; --grow gives the area the room (the areas behind it move)"));
    }
    // An empty text goes through the area class, which stores it as the
    // zero-length field C0h; the exported setter takes one byte or more.
    const auto length = static_cast<uint32_t>(bytes.size());
    if (uint32_t status =
            typeBits == 0xC0 && length > 0
                ? SetFieldDataValue(s.Api(), bytes.data(), length)
                : FruEdit::SetField(FruEdit::Selected(), bytes.data(), length, typeBits);
        status != ORVANE_OK)
        return s.Fail(Text::Format(_("setting %s"), name.c_str()), status);
    return kExitOk;
}

// The device a command names: any position, id:N, name or address of a
// located device, or any other address. *position is the system list's FRU
// of that device, when there is one (then selected). A write refuses a
// position whose device was not read: naming such a device by address or
// id:N says that it is meant.
int ResolveDevice(Session& s, const std::string& designation, FruAddress* address,
                  std::optional<uint32_t>* position, bool write) {
    size_t at = 0;
    const Positions::Slot* slot = Positions::Find(s.Slots(), designation, &at);
    if (!slot && !s.Slots().empty() && !FruAddress::Parse(designation)) {
        uint32_t index = 0; // says why nothing has that name or position
        s.SelectFru(designation, &index);
        return kExitLibrary;
    }
    if (slot && !slot->index && write && Positions::IsPosition(designation)) {
        const DeviceAccess::LocatedDevice& d = slot->device;
        const std::string id = Positions::IdName(d.address);
        return Report::Refused(
            _("refusing to write FRU %zu: the FRU device %s at %s %s (0x%08X: %s); nothing was "
              "written. To write it all the same, name it by its address %s%s%s\n"),
            at, d.name.c_str(), d.address.Format().c_str(),
            d.damaged ? _("is damaged") : _("cannot be read"), d.status, d.message.c_str(),
            d.address.Format().c_str(), id.empty() ? "" : _(" or "), id.c_str());
    }
    if (slot) {
        *address = slot->device.address;
    } else if (const auto parsed = FruAddress::Parse(designation)) {
        *address = *parsed;
    } else {
        uint32_t index = 0; // the FRUs of a list without positions
        if (!s.SelectFru(designation, &index))
            return kExitLibrary;
        s.SelectedAddress(address);
    }
    if (slot && slot->index)
        *position = slot->index;
    for (uint32_t i = 0; !slot && i < s.Count(); ++i) {
        FruAddress a;
        if (SelectFru(s.Api(), i) == ORVANE_OK && s.SelectedAddress(&a) && a == *address) {
            *position = i;
            break;
        }
    }
    if (*position)
        SelectFru(s.Api(), **position);
    return kExitOk;
}
// The encoding a text keeps: the packed one its field uses when the text can
// be stored there, else 8-bit text, and the user is told which.
uint8_t KeepEncoding(const ImageModel::FieldImage& target, const std::string& key,
                     const std::string& value, std::vector<uint8_t>* bytes) {
    const auto kind = FieldEncoding::KindOf(target.typeLength);
    if (!target.typed || kind == FieldEncoding::Kind::Text || value.empty())
        return FieldEncoding::TypeBits(FieldEncoding::Kind::Text);
    const char* label = _(FieldEncoding::Label(kind));
    if (auto packed = FieldEncoding::Encode(kind, value)) {
        *bytes = *packed;
        Report::Note(_("%s: stored as %s, like the value it replaces\n"), key.c_str(), label);
        return FieldEncoding::TypeBits(kind);
    }
    Report::Note(_("%s: stored as 8-bit text; the value it replaces was %s, which "
                   "cannot hold \"%s\"\n"),
                 key.c_str(), label, value.c_str());
    return FieldEncoding::TypeBits(FieldEncoding::Kind::Text);
}

const ImageModel::FieldImage* FieldBySetter(const ImageModel::AreaImage& area,
                                            uint32_t valueIndex) {
    for (const ImageModel::FieldImage& f : area.fields)
        if (f.valueIndex == valueIndex)
            return &f;
    return nullptr;
}

std::string PrintedValue(const ImageModel::AreaImage& area, size_t index) {
    const ImageModel::FieldImage& f = area.fields[index];
    return f.typed ? FruViews::Decoded(area, index) : FruViews::Utf8(f.value);
}

std::vector<FieldChange> ChangedFields(const ImageModel::ImageView& before,
                                       const ImageModel::ImageView& after) {
    std::vector<FieldChange> changes;
    for (const ImageModel::AreaImage& area : after.areas)
        for (const ImageModel::AreaImage& old : before.areas)
            for (size_t i = 0;
                 old.kind == area.kind && i < area.fields.size() && i < old.fields.size(); ++i) {
                const ImageModel::FieldImage &was = old.fields[i], &now = area.fields[i];
                if (was.value != now.value || was.data != now.data)
                    changes.push_back({area.kind, FruViews::Key(area, i), "", PrintedValue(old, i),
                                       PrintedValue(area, i), was.data, now.data});
            }
    return changes;
}

void PrintChange(const FruView& view, const Options& o, const ChangeOutcome& outcome) {
    JsonWriter::Value doc;
    doc["fru"] = view.name;
    doc["address"] = Render::JsonAddress(view.address);
    doc["changed"] = !outcome.fields.empty() || !outcome.device.areas.empty();
    doc["dry_run"] = o.dryRun;
    doc["fields"] = JsonWriter::Value::array();
    std::set<int32_t> kinds;
    for (const FieldChange& c : outcome.fields) {
        JsonWriter::Value field = {{"name", c.name}};
        if (!c.path.empty())
            field["path"] = c.path;
        field["old"] = c.before;
        field["new"] = c.after;
        doc["fields"].push_back(std::move(field));
        kinds.insert(c.area);
    }
    doc["areas"] = JsonWriter::Value::array();
    const std::vector<int32_t> areas = outcome.device.areas.empty()
                                           ? std::vector<int32_t>(kinds.begin(), kinds.end())
                                           : outcome.device.areas;
    for (int32_t kind : areas)
        doc["areas"].push_back(FieldNames::AreaKey(kind));
    doc["committed"] = outcome.written;
    const auto path = [](const std::string& p) {
        return p.empty() ? JsonWriter::Value() : JsonWriter::Value(p);
    };
    doc["saved"] = path(outcome.saved);
    doc["backup"] = path(outcome.device.backup);
    static const JsonWriter::Layout layout{true, {"fields"}, {}, {}};
    std::fputs(JsonWriter::Write(doc, layout).c_str(), stdout);
    Report::Printed();
}

const ImageModel::AreaImage* HeldArea(CFru* fru, ImageModel::ImageView* held, int32_t kind) {
    if (!ImageModel::Describe(fru, held))
        return nullptr;
    for (const ImageModel::AreaImage& a : held->areas)
        if (a.kind == kind)
            return &a;
    return nullptr;
}
} // namespace Commands
