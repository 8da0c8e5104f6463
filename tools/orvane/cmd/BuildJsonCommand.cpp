#include "app/Report.h"
#include "cmd/Commands.h"

#include "api/FruEdit.h"
#include "cmd/CommandSupport.h"
#include "cmd/DesiredFields.h"
#include "device/ImageSource.h"
#include "device/RawImage.h"
#include "device/Relayout.h"
#include "input/BlankImage.h"
#include "input/FruInput.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace Commands {
namespace {
// A folder of its own for the blank image, removed with everything in it.
struct Scratch {
    std::string folder;
    ~Scratch() {
        std::error_code ec;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ec);
    }
};

// Serves the blank image to the library as the one FRU of a simulated
// controller and selects it, as --image does for a file.
int LoadBlank(Session& s, const std::vector<uint8_t>& blank, Scratch* scratch,
              ImageSource* source) {
    char pattern[] = "/tmp/orvane-build-XXXXXX";
    if (!mkdtemp(pattern))
        return Report::Os(_("creating a temporary folder"), errno);
    scratch->folder = pattern;
    const std::string path = scratch->folder + "/blank.bin";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(blank.data()),
              static_cast<std::streamsize>(blank.size()));
    out.close();
    std::string error;
    if (!out || !source->Open(path, &error))
        return Report::Fail("%s\n", error.empty() ? path.c_str() : error.c_str());
    // The blank's load is no device read a user waits for.
    SetProgressCallback(s.Api(), nullptr);
    if (!s.LoadSystem())
        return kExitLibrary;
    if (const uint32_t status = SelectList(s.Api(), ORVANE_LIST_SYSTEM); status != ORVANE_OK)
        return s.Fail(_("selecting the system list"), status);
    if (s.Count() == 0 || SelectFru(s.Api(), 0) != ORVANE_OK)
        return Report::Refused(_("the library refuses the image the input describes (its "
                                 "internal use or multi-record bytes); nothing was written\n"));
    return kExitOk;
}

// The member a refused layout comes from: the area the relayout stopped at
// (one that would start past what the header can point to), else the last
// one (the image is too long).
std::string RefusedPath(const FruInput::Fru& fru, const Relayout::Plan& plan) {
    const size_t at = std::min(plan.after.size(), plan.before.size() - 1);
    const int32_t kind = plan.before.empty() ? 0 : plan.before[at].kind;
    for (const FruInput::Area& a : fru.areas)
        if (a.kind == kind)
            return a.path;
    return "$";
}

// The image of the input: the blank filled by the core's setters and laid
// out again where areas grew.
int MakeImage(Session& s, const FruInput::Fru& fru, std::vector<uint8_t>* image) {
    std::vector<uint8_t> blank;
    std::string where, problem;
    if (!BlankImage::Make(fru, &blank, &where, &problem))
        return Report::Refused("%s: %s\n", where.c_str(), problem.c_str());
    Scratch scratch;
    ImageSource source;
    if (int code = LoadBlank(s, blank, &scratch, &source))
        return code;
    FruView view;
    if (!s.Describe(0, &view))
        return kExitLibrary;
    // The internal use bytes are in the blank already.
    std::vector<FruInput::Field> fields;
    for (const FruInput::Field& f : fru.fields)
        if (f.area != ORVANE_AREA_INTERNAL_USE)
            fields.push_back(f);
    std::vector<DesiredFields::Change> changes;
    if (int code = DesiredFields::Differences(view, fields, &changes))
        return code;
    std::set<int32_t> areas;
    if (int code = DesiredFields::Store(s, changes, true, &areas))
        return code;
    const Relayout::Plan plan = Relayout::Rebuild(
        blank, Wide(view.name), DesiredFields::HeldAreas(areas), BlankImage::kMaxImageBytes);
    if (!plan.refusal.empty())
        return Report::Refused(_("%s: %s; nothing was written\n"), RefusedPath(fru, plan).c_str(),
                               plan.refusal.c_str());
    *image = plan.image;
    return kExitOk;
}
} // namespace

// build --json: an image from a JSON description, through the core's own
// area classes.
int BuildJson(Session& s, const Options& o) {
    FruInput::Fru fru;
    if (int code = FruInput::Read(o.operands[0], o.fru, false, &fru))
        return code;
    std::vector<uint8_t> image;
    if (int code = MakeImage(s, fru, &image))
        return code;
    std::string error;
    if (!RawImage::WriteFileSafely(o.operands[1], image, &error))
        return Report::Fail("%s\n", error.c_str());
    std::printf(_("wrote the %zu-byte image of %s to %s\n"), image.size(),
                o.operands[0] == "-" ? _("standard input") : o.operands[0].c_str(),
                o.operands[1].c_str());
    return kExitOk;
}
} // namespace Commands
