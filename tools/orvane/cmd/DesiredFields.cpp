#include "cmd/DesiredFields.h"

#include "api/FruEdit.h"
#include "api/ImageModel.h"
#include "app/Report.h"
#include "cmd/CommandSupport.h"
#include "input/FieldStore.h"
#include "view/FieldNames.h"
#include "view/FruViews.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <map>

namespace DesiredFields {
namespace {
constexpr uint8_t kChassisTypeMin = 1, kChassisTypeMax = 23;

// A field of the FRU as it is now, by its stable name.
struct Now {
    const ImageModel::AreaImage* area = nullptr;
    size_t index = 0;
    const ImageModel::FieldImage& Field() const { return area->fields[index]; }
};

Now Find(const FruView& view, const std::string& key) {
    for (const ImageModel::AreaImage& area : view.image.areas)
        for (size_t i = 0; i < area.fields.size(); ++i)
            if (FruViews::Key(area, i) == key)
                return {&area, i};
    return {};
}

bool Typed(const FruInput::Field& f) {
    return f.area == ORVANE_AREA_PRODUCT ||
           (f.index > 0 && (f.area == ORVANE_AREA_BOARD || f.area == ORVANE_AREA_CHASSIS));
}

// The bytes a wanted field stands for, and its type bits for a text; "" or
// why it cannot be stored.
std::string Wanted(const FruInput::Field& f, const ImageModel::FieldImage& now, Change* c) {
    if (f.bytes) {
        c->bytes = *f.bytes;
        c->typeBits = f.typeBits;
        return "";
    }
    if (Typed(f))
        return FieldStore::Encode(f.value, f.encoding,
                                  FieldStore::KindOfKey(FruViews::Encoding(now)), &c->bytes,
                                  &c->typeBits);
    std::string problem;
    if (!Commands::FieldBytes({f.area, f.index, false, 0}, f.index, f.value, now.data, &c->bytes,
                              &problem))
        return problem;
    if (f.area == ORVANE_AREA_INTERNAL_USE && c->bytes.size() != now.data.size())
        return Text::Format(_("the internal use area holds exactly %zu bytes (got %zu)"),
                            now.data.size(), c->bytes.size());
    if (f.area == ORVANE_AREA_CHASSIS &&
        (c->bytes[0] < kChassisTypeMin || c->bytes[0] > kChassisTypeMax))
        return _("the chassis type is a number from 1 to 23");
    return "";
}

uint8_t TypeBitsOf(const ImageModel::FieldImage& now) {
    return now.typeLength & 0xC0;
}
} // namespace

int Differences(const FruView& view, const std::vector<FruInput::Field>& wanted,
                std::vector<Change>* changes) {
    for (const FruInput::Field& f : wanted) {
        Change c;
        c.wanted = &f;
        c.key = FieldNames::Name(f.area, f.index);
        const Now now = Find(view, c.key);
        if (!now.area) {
            const bool area = FruViews::Area(view, f.area) != nullptr;
            return Report::Refused(area ? _("%s: the FRU has no field %s (custom fields are "
                                            "changed, not added)\n")
                                        : _("%s: the FRU has no %s area\n"),
                                   f.path.c_str(),
                                   area ? c.key.c_str() : FieldNames::AreaKey(f.area));
        }
        const ImageModel::FieldImage& field = now.Field();
        if (const std::string problem = Wanted(f, field, &c); !problem.empty())
            return Report::Refused("%s: %s\n", f.path.c_str(), problem.c_str());
        if (c.bytes == field.data && (!Typed(f) || c.typeBits == TypeBitsOf(field)))
            continue;
        c.before = FruViews::Decoded(*now.area, now.index);
        c.after =
            Typed(f) ? FieldEncoding::Decode(FieldEncoding::KindOf(c.typeBits), c.bytes) : f.value;
        c.valueIndex = field.valueIndex;
        c.growth = static_cast<int32_t>(c.bytes.size()) - static_cast<int32_t>(field.data.size());
        changes->push_back(std::move(c));
    }
    return kExitOk;
}

int CheckRoom(const FruView& view, const std::vector<Change>& changes) {
    std::map<int32_t, int32_t> used;
    for (const Change& c : changes) {
        const ImageModel::AreaImage* area = FruViews::Area(view, c.wanted->area);
        if (!Typed(*c.wanted) || !area)
            continue;
        const uint32_t room = FruViews::Room(*area);
        used[area->kind] += c.growth;
        if (used[area->kind] > static_cast<int32_t>(room))
            return Report::Refused(_("%s: \"%s\" does not fit the %s area (%u bytes free); "
                                     "--grow gives it the blocks it needs. Nothing was "
                                     "written.\n"),
                                   c.wanted->path.c_str(), c.after.c_str(),
                                   FieldNames::AreaKey(area->kind), room);
    }
    return kExitOk;
}

namespace {
// Gives the selected field's area the fewest 8-byte blocks more that let it
// hold the change's bytes. Returns an exit code.
int MakeRoom(const Change& c) {
    ImageModel::ImageView held;
    const ImageModel::AreaImage* area =
        Commands::HeldArea(FruEdit::SelectedFru(), &held, c.wanted->area);
    if (!area || c.growth <= 0)
        return kExitOk;
    const auto length = static_cast<uint32_t>(area->bytes.size());
    const uint32_t grown =
        Relayout::GrownLength(length, area->padLength, static_cast<uint32_t>(c.growth));
    if (grown == length)
        return kExitOk;
    if (const std::string problem = Relayout::LengthProblem(c.wanted->area, grown);
        !problem.empty())
        return Report::Refused("%s: %s\n", c.wanted->path.c_str(), problem.c_str());
    if (!FruEdit::ResizeArea(FruEdit::SelectedFru(), c.wanted->area, grown))
        return Report::Fail(_("%s: the %s area cannot be given %u bytes\n"), c.wanted->path.c_str(),
                            FieldNames::AreaKey(c.wanted->area), grown);
    return kExitOk;
}

// Stores one text in the selected field. Its limits were checked, and the
// room is there: the library's setter decides with the field's own length.
int StoreText(Session& s, const Change& c) {
    static const uint8_t kNothing = 0;
    const uint8_t* data = c.bytes.empty() ? &kNothing : c.bytes.data();
    if (const uint32_t status = FruEdit::SetField(
            FruEdit::Selected(), data, static_cast<uint32_t>(c.bytes.size()), c.typeBits);
        status != ORVANE_OK)
        return s.Fail(Text::Format(_("setting %s"), c.wanted->path.c_str()), status);
    return kExitOk;
}
} // namespace

int Store(Session& s, const std::vector<Change>& changes, bool grow, std::set<int32_t>* areas) {
    Options options;
    for (const Change& c : changes) {
        const FieldNames::Field field{c.wanted->area, c.valueIndex, false, 0};
        if (!Commands::SelectNamedField(s, field, c.wanted->path))
            return kExitLibrary;
        if (Typed(*c.wanted)) {
            if (int code = grow ? MakeRoom(c) : kExitOk)
                return code;
            if (int code = StoreText(s, c))
                return code;
        } else if (int code = Commands::ApplyValue(s, options, field, c.wanted->path,
                                                   c.wanted->value, c.bytes)) {
            return code;
        }
        areas->insert(c.wanted->area);
    }
    return kExitOk;
}

std::vector<Relayout::Replacement> HeldAreas(const std::set<int32_t>& kinds) {
    std::vector<Relayout::Replacement> replaced;
    ImageModel::ImageView held;
    for (int32_t kind : kinds)
        if (const ImageModel::AreaImage* area =
                Commands::HeldArea(FruEdit::SelectedFru(), &held, kind))
            replaced.push_back({kind, area->bytes});
    return replaced;
}
} // namespace DesiredFields
