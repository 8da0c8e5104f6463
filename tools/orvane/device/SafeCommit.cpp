#include "device/SafeCommit.h"
#include "app/Report.h"

#include "api/DeviceAccess.h"
#include "api/FruEdit.h"
#include "api/ImageModel.h"
#include "device/LayoutGuard.h"
#include "device/RawImage.h"
#include "fru/ImageLayout.h"
#include "view/FieldNames.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <algorithm>
#include <cstdio>

namespace SafeCommit {
namespace {
// The areas whose bytes the running commit changes; its progress names only those.
bool g_written[ORVANE_AREA_MULTIRECORD + 1] = {};
// The area the commit's next progress text reports.
int32_t g_reported = 0;

void Reported(int32_t kind) {
    g_reported = kind;
}

// The areas of the running commit whose progress the library has shown.
bool g_shown[ORVANE_AREA_MULTIRECORD + 1] = {};

void CommitProgress(uint32_t phase, const OrvaneChar* text, uint32_t done, uint32_t total) {
    const int32_t area = g_reported;
    if (area != 0 && !g_written[area])
        return;
    g_shown[area] = true;
    Session::ShowProgress(phase, text, done, total);
}

// A progress line of the command's own for an area written.
void AreaWritten(int32_t kind) {
    const std::string line = kind == ORVANE_AREA_COMMON_HEADER
                                 ? std::string(_("common header written"))
                                 : Text::Format(_("%s area written"), FieldNames::AreaKey(kind));
    Session::ShowProgress(ORVANE_PROGRESS_COMMIT, Text::FromUtf8(line).c_str(), 0, 0);
}

// Writes those bytes of want that the device does not hold yet (all of them
// when it cannot be read): fewer writes, and nothing past what differs.
uint32_t WriteDifferences(const FruAddress& device, const std::vector<uint8_t>& want) {
    const uint32_t size = static_cast<uint32_t>(want.size());
    std::vector<uint8_t> have;
    if (DeviceAccess::ReadDevice(device, 0, size, &have) != 0 || have.size() != size)
        return DeviceAccess::WriteDevice(device, 0, want);
    for (uint32_t i = 0; i < size; ++i) {
        if (have[i] == want[i])
            continue;
        uint32_t end = i;
        while (end < size && have[end] != want[end])
            ++end;
        if (const uint32_t status = DeviceAccess::WriteDevice(
                device, i, std::vector<uint8_t>(want.begin() + i, want.begin() + end)))
            return status;
        i = end;
    }
    return 0;
}

// Writes the raw backup back where the device differs from it, then reads it
// again and compares. Returns kExitLibrary.
int RollBack(const FruAddress& address, const Commands::PendingBackup& backup) {
    Report::Say(_("writing %s back to the device\n"), backup.bin.c_str());
    const FruAddress device = address;
    const uint32_t size = static_cast<uint32_t>(backup.raw.size());
    std::vector<uint8_t> back;
    const uint32_t written = WriteDifferences(device, backup.raw);
    const uint32_t read = written ? written : DeviceAccess::ReadDevice(device, 0, size, &back);
    if (written == 0 && read == 0 && back == backup.raw) {
        return Report::Fail(_("the device at %s is as before (%zu bytes read back and "
                              "compared); the backup stays in %s\n"),
                            address.Format().c_str(), backup.raw.size(), backup.Describe().c_str());
    }
    if (written || read)
        Report::Say(_("the rollback failed (0x%08X): the device at %s is NOT as "
                      "before; orvane restore %s tries again\n"),
                    written ? written : read, address.Format().c_str(), backup.bin.c_str());
    else
        Report::Say(_("the device at %s is NOT as before (it differs from %s at "
                      "%s); orvane restore %s tries again\n"),
                    address.Format().c_str(), backup.bin.c_str(),
                    RawImage::Differences(backup.raw, back).c_str(), backup.bin.c_str());
    return kExitLibrary;
}

// Reads back `expected.size()` bytes and compares those that `meant` marks.
// "" when they agree, else the offsets that differ or the read's failure.
std::string Verify(const FruAddress& address, const std::vector<uint8_t>& expected,
                   const std::vector<bool>& meant) {
    std::vector<uint8_t> back;
    if (const uint32_t status =
            DeviceAccess::ReadDevice(address, 0, static_cast<uint32_t>(expected.size()), &back)) {
        char text[64];
        std::snprintf(text, sizeof text, _("the device could not be read back (0x%08X)"), status);
        return text;
    }
    std::vector<uint8_t> want = expected, have = back;
    for (size_t i = 0; i < want.size(); ++i)
        if (!meant[i])
            want[i] = have[i];
    return want == have ? ""
                        : Text::Format(_("the device differs at %s"),
                                       RawImage::Differences(want, have).c_str());
}
} // namespace

int GuardLayout(const FruAddress& address, uint32_t deviceLength) {
    FruEdit::CommitLayout layout;
    if (!FruEdit::LayoutCommit(FruEdit::SelectedFru(), &layout))
        return kExitOk;
    const std::string problems = LayoutGuard::Problems(layout, deviceLength);
    if (problems.empty())
        return kExitOk;
    bool moved = false;
    for (const auto& area : layout.areas)
        moved = moved || area.headerOffset != area.commitOffset;
    return Report::Refused(_("refusing to commit %s: %sNothing was written.%s\n"),
                           address.Format().c_str(), problems.c_str(),
                           moved
                               ? _(" --repack moves the areas to where the commit writes them and "
                                   "rewrites the header to match.")
                               : "");
}

std::vector<uint8_t> CommittedImage(const std::vector<uint8_t>& before, std::vector<bool>* meant) {
    FruEdit::CommitLayout layout;
    FruEdit::LayoutCommit(FruEdit::SelectedFru(), &layout);
    std::vector<uint8_t> expected = before;
    expected.resize(std::max<size_t>(expected.size(), layout.end), 0xFF);
    meant->assign(expected.size(), false);
    std::fill(meant->begin(), meant->begin() + static_cast<long>(before.size()), true);
    auto put = [&](uint32_t offset, const std::vector<uint8_t>& bytes) {
        for (size_t i = 0; i < bytes.size() && offset + i < expected.size(); ++i) {
            expected[offset + i] = bytes[i];
            (*meant)[offset + i] = true;
        }
    };
    put(0, layout.header);
    for (const auto& area : layout.areas)
        if (area.written)
            put(area.commitOffset, area.bytes);
    return expected;
}

std::vector<int32_t> ChangedAreas(const std::vector<uint8_t>& before,
                                  const std::vector<uint8_t>& after) {
    const auto differs = [&](size_t from, size_t to) {
        for (size_t i = from; i < to && i < after.size(); ++i)
            if (i >= before.size() || before[i] != after[i])
                return true;
        return false;
    };
    std::vector<int32_t> kinds;
    if (differs(0, ImageLayout::kCommonHeaderBytes))
        kinds.push_back(ORVANE_AREA_COMMON_HEADER);
    for (const auto& area : ImageModel::ParseImage(after, u"").areas)
        if (differs(area.offset, area.offset + area.bytes.size()))
            kinds.push_back(area.kind);
    return kinds;
}

std::string AreaList(const std::vector<int32_t>& kinds) {
    std::string list;
    for (int32_t kind : kinds)
        list += (list.empty() ? "" : ", ") + std::string(FieldNames::AreaKey(kind));
    return list.empty() ? _("no area") : list;
}

int Commit(Session& s, const FruAddress& address, Commands::PendingBackup& backup) {
    std::vector<bool> meant;
    const std::vector<uint8_t> expected = CommittedImage(backup.raw, &meant);
    // The commit writes some areas whose bytes stay as they were; its
    // progress names those that change.
    std::fill(std::begin(g_written), std::end(g_written), false);
    std::fill(std::begin(g_shown), std::end(g_shown), false);
    const std::vector<int32_t> changed = ChangedAreas(backup.raw, expected);
    for (int32_t kind : changed)
        g_written[kind] = true;

    // From the first write on, the backup stays whatever happens.
    backup.Keep();
    SetProgressCallback(s.Api(), CommitProgress);
    FruEdit::SetCommitAreaHook(Reported);
    const uint32_t status = CommitConfigurationToSystem(s.Api());
    FruEdit::SetCommitAreaHook(nullptr);
    SetProgressCallback(s.Api(), Session::ShowProgress);
    // The library tells no progress of some areas (the product area).
    for (int32_t kind : changed)
        if (status == ORVANE_OK && !g_shown[kind])
            AreaWritten(kind);
    Session::EndProgress();
    if (status != ORVANE_OK) {
        s.Fail(_("committing the FRU"), status);
        return RollBack(address, backup);
    }
    if (const std::string problem = Verify(address, expected, meant); !problem.empty()) {
        Report::Say(_("the commit did not leave the device as meant: %s\n"), problem.c_str());
        return RollBack(address, backup);
    }
    std::printf(_("committed and verified (areas changed: %s; %zu bytes read back); the previous "
                  "contents are in %s\n"),
                AreaList(changed).c_str(), expected.size(), backup.Describe().c_str());
    return kExitOk;
}

int WriteImage(const FruAddress& address, const std::vector<uint8_t>& image,
               Commands::PendingBackup& backup) {
    backup.Keep();
    const std::vector<int32_t> changed = ChangedAreas(backup.raw, image);
    const uint32_t written = WriteDifferences(address, image);
    for (int32_t kind : changed)
        if (written == 0)
            AreaWritten(kind);
    Session::EndProgress();
    if (const uint32_t status = written) {
        Report::Say(_("writing the image to %s failed (0x%08X)\n"), address.Format().c_str(),
                    status);
        return RollBack(address, backup);
    }
    if (const std::string problem = Verify(address, image, std::vector<bool>(image.size(), true));
        !problem.empty()) {
        Report::Say(_("the write did not leave the device as meant: %s\n"), problem.c_str());
        return RollBack(address, backup);
    }
    std::printf(_("wrote and verified %zu bytes at %s (areas changed: %s); the previous contents "
                  "are in %s\n"),
                image.size(), address.Format().c_str(), AreaList(changed).c_str(),
                backup.Describe().c_str());
    return kExitOk;
}
} // namespace SafeCommit
