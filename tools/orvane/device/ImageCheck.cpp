#include "device/ImageCheck.h"

#include "api/ImageModel.h"
#include "app/Report.h"
#include "device/FileOperand.h"
#include "device/RawImage.h"
#include "fru/ImageLayout.h"
#include "view/FieldNames.h"
#include "view/FruViews.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <algorithm>
#include <cstdio>

namespace ImageCheck {
namespace {
std::string Line(const std::string& what, const std::string& change) {
    return "  " + Text::Padded(what, 22) + " " + change + "\n";
}

const ImageLayout::Area* Declared(const ImageLayout::Layout& layout, int32_t kind) {
    for (const auto& a : layout.areas)
        if (a.kind == kind)
            return &a;
    return nullptr;
}

// How many bytes of [from, to) the write changes (only the image's own
// bytes are written); each counted byte is marked in *covered.
size_t Differing(const std::vector<uint8_t>& before, const std::vector<uint8_t>& image, size_t from,
                 size_t to, std::vector<bool>* covered) {
    size_t n = 0;
    for (size_t i = from; i < std::min(to, image.size()); ++i) {
        n += i >= before.size() || before[i] != image[i];
        (*covered)[i] = true;
    }
    return n;
}

std::string AreaLine(const std::vector<uint8_t>& before, const std::vector<uint8_t>& image,
                     const ImageLayout::Area* was, const ImageLayout::Area* is,
                     std::vector<bool>* covered) {
    if (!is)
        return Text::Format(_("removed from the header (was at offset %u)"), was->offset);
    const size_t n = Differing(before, image, is->offset, is->offset + is->declared, covered);
    if (!was)
        return Text::Format(_("added at offset %u (%u bytes)"), is->offset, is->declared);
    if (was->offset != is->offset)
        return Text::Format(_("moves from offset %u to %u (%u bytes)"), was->offset, is->offset,
                            is->declared);
    return n ? Text::Format(_("changes: %zu of its %u bytes at offset %u"), n, is->declared,
                            is->offset)
             : Text::Format(_("unchanged (%u bytes at offset %u)"), is->declared, is->offset);
}
} // namespace

std::string Problem(const std::vector<uint8_t>& image, const std::string& name) {
    const ImageModel::ImageView view = ImageModel::ParseImage(image, Text::FromUtf8(name));
    const std::string problem = FruViews::Utf8(view.headerMessage);
    if (!problem.empty() || view.header.empty())
        return problem.empty() ? _("it has no valid common header") : problem;
    for (const auto& area : view.areas)
        if (const std::string bad = FruViews::ProblemText(area); !bad.empty())
            return Text::Format(_("its %s area does not read: %s"), FieldNames::AreaKey(area.kind),
                                bad.c_str());
    return view.accepted ? "" : _("the library does not take it as a FRU image");
}

int Admit(const Options& o, const std::string& file, const std::vector<uint8_t>& image) {
    std::string problem = Problem(image, file);
    if (problem.empty())
        return kExitOk;
    if (problem.back() == '.') // the library's sentences go inside this one
        problem.pop_back();
    if (!o.force)
        return Report::Refused(_("refusing to write %s: %s; nothing was written (--force "
                                 "writes it all the same)\n"),
                               file.c_str(), problem.c_str());
    Report::Say(_("warning: writing %s although %s (--force)\n"), file.c_str(), problem.c_str());
    return kExitOk;
}

int ReadAdmitted(const Options& o, const std::string& file, std::vector<uint8_t>* image) {
    std::string error;
    if (!FileOperand::Read(file, FileOperand::kImageBytes, image, &error))
        return Report::Fail("%s\n", error.c_str());
    return Admit(o, file, *image);
}

std::string Changes(const std::vector<uint8_t>& before, const std::vector<uint8_t>& image) {
    const ImageLayout::Layout old = ImageLayout::Parse(before), now = ImageLayout::Parse(image);
    std::vector<bool> covered(image.size(), false);
    const size_t header = Differing(before, image, 0, ImageLayout::kCommonHeaderBytes, &covered);
    std::string text = Line(_("common header"),
                            header ? Text::Format(_("changes: %zu of its 8 bytes"), header).c_str()
                                   : _("unchanged"));
    for (int32_t kind = ORVANE_AREA_INTERNAL_USE; kind <= ORVANE_AREA_MULTIRECORD; ++kind) {
        const ImageLayout::Area* was = Declared(old, kind);
        const ImageLayout::Area* is = Declared(now, kind);
        if (was || is)
            text += Line(Text::Format(_("%s area"), FieldNames::AreaKey(kind)),
                         AreaLine(before, image, was, is, &covered));
    }
    size_t outside = 0;
    for (size_t i = 0; i < image.size(); ++i)
        outside += !covered[i] && (i >= before.size() || before[i] != image[i]);
    text += Line(_("outside the areas"),
                 outside ? Text::Format(_("%zu bytes change"), outside).c_str() : _("unchanged"));
    return text;
}

int DryRun(const FruAddress& address, const std::vector<uint8_t>& image) {
    std::vector<uint8_t> before;
    std::string source;
    if (const uint32_t status = RawImage::ReadWholeDevice(address, &before, &source))
        return Report::Fail(_("reading the device at %s failed (0x%08X)\n"),
                            address.Format().c_str(), status);
    std::printf(_("writing %zu bytes to %s (it holds %zu) would change:\n"), image.size(),
                address.Format().c_str(), before.size());
    std::printf("%s", Changes(before, image).c_str());
    std::printf(_("nothing was written (--dry-run)\n"));
    return kExitOk;
}
} // namespace ImageCheck
