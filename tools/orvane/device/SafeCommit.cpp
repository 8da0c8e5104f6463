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
#include <functional>

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

// Runs [first, end) of marked offsets.
using Runs = std::vector<std::pair<uint32_t, uint32_t>>;
Runs RunsOf(const std::vector<bool>& marks) {
    Runs runs;
    for (uint32_t i = 0; i < marks.size(); ++i) {
        if (!marks[i])
            continue;
        uint32_t end = i;
        while (end < marks.size() && marks[end])
            ++end;
        runs.emplace_back(i, end);
        i = end;
    }
    return runs;
}

// Writes the bytes of image at each run; 0 or the failed write's status.
uint32_t WriteRuns(const FruAddress& device, const std::vector<uint8_t>& image, const Runs& runs) {
    for (const auto& [first, end] : runs)
        if (const uint32_t status = DeviceAccess::WriteDevice(
                device, first, std::vector<uint8_t>(image.begin() + first, image.begin() + end)))
            return status;
    return 0;
}

// Reads the runs of the device itself into *got (offsets outside them keep
// hoped's bytes). When a read differs from hoped the device is read again
// until two reads agree, so one flaky answer neither fails nor passes a
// check. "" when *got holds the device's bytes, else why it does not.
std::string ReadSettled(const FruAddress& device, const Runs& runs,
                        const std::vector<uint8_t>& hoped, std::vector<uint8_t>* got) {
    std::vector<std::vector<uint8_t>> reads;
    while (reads.size() < 3) {
        std::vector<uint8_t> image = hoped;
        for (const auto& [first, end] : runs) {
            std::vector<uint8_t> piece;
            if (const uint32_t status = Commands::ReadFresh(device, first, end - first, &piece))
                return Text::Format(_("the device could not be read back (0x%08X)"), status);
            std::copy_n(piece.begin(), std::min<size_t>(piece.size(), end - first),
                        image.begin() + first);
        }
        for (const auto& earlier : reads)
            if (earlier == image) {
                *got = image;
                return "";
            }
        if (image == hoped) {
            *got = image;
            return "";
        }
        reads.push_back(std::move(image));
    }
    return Text::Format(_("no two reads of the device agree (they differ at %s)"),
                        RawImage::Differences(reads[0], reads[1]).c_str());
}

// Puts the backup's bytes back at the marked offsets (those the write
// changed) where the device no longer holds them, then reads every marked
// offset again and compares. Returns kExitLibrary.
int RollBack(const FruAddress& address, const Commands::PendingBackup& backup,
             std::vector<bool> changed) {
    const Runs runs = RunsOf(changed);
    const size_t checked = static_cast<size_t>(std::count(changed.begin(), changed.end(), true));
    std::vector<uint8_t> now, back;
    if (ReadSettled(address, runs, backup.raw, &now).empty())
        for (size_t i = 0; i < changed.size(); ++i)
            changed[i] = changed[i] && now[i] != backup.raw[i];
    const size_t count = static_cast<size_t>(std::count(changed.begin(), changed.end(), true));
    Report::Say(_("writing %zu bytes of %s back to the device\n"), count, backup.bin.c_str());
    std::string problem;
    if (const uint32_t status = WriteRuns(address, backup.raw, RunsOf(changed)))
        problem = Text::Format(_("the rollback failed (0x%08X)"), status);
    else
        problem = ReadSettled(address, runs, backup.raw, &back);
    if (problem.empty() && back == backup.raw) {
        return Report::Fail(_("the device at %s is as before (%zu bytes read back and compared, "
                              "%zu of them written back); the backup stays in %s\n"),
                            address.Format().c_str(), checked, count, backup.Describe().c_str());
    }
    if (!problem.empty())
        Report::Say(_("%s: the device at %s is NOT as before; orvane restore %s tries again\n"),
                    problem.c_str(), address.Format().c_str(), backup.bin.c_str());
    else
        Report::Say(_("the device at %s is NOT as before (it differs from %s at %s); orvane "
                      "restore %s tries again\n"),
                    address.Format().c_str(), backup.bin.c_str(),
                    RawImage::Differences(backup.raw, back).c_str(), backup.bin.c_str());
    return kExitLibrary;
}

// What a write must leave on the device: the backup with the written bytes
// put over it, and which offsets the write wrote.
struct Expected {
    std::vector<uint8_t> image;
    std::vector<bool> written;
};

// The offsets whose bytes a rollback puts back: those the write wrote where
// the device should or does now differ from the backup.
std::vector<bool> Changed(const Expected& e, const std::vector<uint8_t>& before,
                          const std::vector<uint8_t>* device) {
    std::vector<bool> changed(before.size(), false);
    for (size_t i = 0; i < before.size() && i < e.image.size(); ++i)
        changed[i] =
            e.written[i] && (e.image[i] != before[i] || (device && (*device)[i] != before[i]));
    return changed;
}

// Reads the device back after a write (writeStatus 0) and judges it: the
// written bytes must be as meant, or the changed ones are rolled back; the
// others must still be the backup's, or that is reported (the write did not
// touch them, so nothing is put back). Returns -1 when all is as meant.
int Settle(const FruAddress& address, Commands::PendingBackup& backup, const Expected& e,
           const char* what) {
    std::vector<uint8_t> device;
    std::string problem =
        ReadSettled(address, {{0, static_cast<uint32_t>(e.image.size())}}, e.image, &device);
    std::vector<uint8_t> want = e.image, have = device;
    for (size_t i = 0; problem.empty() && i < want.size(); ++i)
        if (!e.written[i])
            want[i] = have[i];
    if (problem.empty() && want != have)
        problem =
            Text::Format(_("the device differs at %s"), RawImage::Differences(want, have).c_str());
    if (!problem.empty()) {
        Report::Say(what, problem.c_str());
        return RollBack(address, backup,
                        Changed(e, backup.raw, device.empty() ? nullptr : &device));
    }
    // The bytes the write did not touch, beside the backup's.
    std::vector<uint8_t> before = backup.raw, now = device;
    now.resize(before.size());
    for (size_t i = 0; i < before.size(); ++i)
        if (e.written[i])
            now[i] = before[i];
    if (before != now)
        return Report::Fail(_("the bytes written to %s are as meant, but the device differs from "
                              "the backup at %s, where nothing was written; that is not rolled "
                              "back; the backup stays in %s\n"),
                            address.Format().c_str(), RawImage::Differences(before, now).c_str(),
                            backup.Describe().c_str());
    return -1;
}
// What a commit of the selected FRU must leave on a device that held before.
Expected CommitExpected(const std::vector<uint8_t>& before) {
    FruEdit::CommitLayout layout;
    FruEdit::LayoutCommit(FruEdit::SelectedFru(), &layout);
    Expected e{before, {}};
    e.image.resize(std::max<size_t>(e.image.size(), layout.end), 0xFF);
    e.written.assign(e.image.size(), false);
    auto put = [&](uint32_t offset, const std::vector<uint8_t>& bytes) {
        for (size_t i = 0; i < bytes.size() && offset + i < e.image.size(); ++i) {
            e.image[offset + i] = bytes[i];
            e.written[offset + i] = true;
        }
    };
    put(0, layout.header);
    for (const auto& area : layout.areas)
        if (area.written)
            put(area.commitOffset, area.bytes);
    return e;
}

// One write of a device, verified: the areas changed are marked for the
// progress, the backup is kept, write writes the device (telling its own
// failure) and returns its status; a changed area whose progress the write
// did not show gets a line of its own. A failed write is rolled back, a
// finished one read back and settled (differs tells what went wrong), and
// verified is printed when the device holds what was meant.
int WriteVerified(const FruAddress& address, Commands::PendingBackup& backup, const Expected& e,
                  const std::vector<int32_t>& changed, const std::function<uint32_t()>& write,
                  const char* differs, const std::string& verified) {
    std::fill(std::begin(g_written), std::end(g_written), false);
    std::fill(std::begin(g_shown), std::end(g_shown), false);
    for (int32_t kind : changed)
        g_written[kind] = true;
    // From the first write on, the backup stays whatever happens.
    backup.Keep();
    const uint32_t status = write();
    // The library tells no progress of some areas (the product area), a raw
    // write none at all.
    for (int32_t kind : changed)
        if (status == ORVANE_OK && !g_shown[kind])
            AreaWritten(kind);
    Session::EndProgress();
    if (status != ORVANE_OK)
        return RollBack(address, backup, Changed(e, backup.raw, nullptr));
    if (int code = Settle(address, backup, e, differs); code >= 0)
        return code;
    std::fputs(verified.c_str(), stdout);
    return kExitOk;
}
} // namespace

std::vector<uint8_t> CommittedImage(const std::vector<uint8_t>& before,
                                    std::vector<bool>* written) {
    Expected e = CommitExpected(before);
    *written = std::move(e.written);
    return e.image;
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

int Commit(Session& s, const FruAddress& address, Commands::PendingBackup& backup) {
    const Expected e = CommitExpected(backup.raw);
    // The commit writes some areas whose bytes stay as they were; its
    // progress names those that change.
    const std::vector<int32_t> changed = ChangedAreas(backup.raw, e.image);
    const auto commit = [&] {
        SetProgressCallback(s.Api(), CommitProgress);
        FruEdit::SetCommitAreaHook(Reported);
        const uint32_t status = CommitConfigurationToSystem(s.Api());
        FruEdit::SetCommitAreaHook(nullptr);
        SetProgressCallback(s.Api(), Session::ShowProgress);
        if (status != ORVANE_OK)
            s.Fail(_("committing the FRU"), status);
        return status;
    };
    return WriteVerified(
        address, backup, e, changed, commit,
        _("the commit did not leave the device as meant: %s\n"),
        Text::Format(_("committed and verified (areas changed: %s; %zu bytes read back); the "
                       "previous contents are in %s\n"),
                     AreaList(changed).c_str(), e.image.size(), backup.Describe().c_str()));
}

int WriteImage(const FruAddress& address, const std::vector<uint8_t>& image,
               Commands::PendingBackup& backup) {
    // Only the bytes that differ from what the device holds are written.
    Expected e{backup.raw, {}};
    e.image.resize(std::max(e.image.size(), image.size()), 0xFF);
    e.written.assign(e.image.size(), false);
    for (size_t i = 0; i < image.size(); ++i) {
        e.written[i] = i >= backup.raw.size() || image[i] != backup.raw[i];
        e.image[i] = image[i];
    }
    const std::vector<int32_t> changed = ChangedAreas(backup.raw, image);
    const auto write = [&] {
        const uint32_t status = WriteRuns(address, e.image, RunsOf(e.written));
        if (status != ORVANE_OK) {
            Session::EndProgress();
            Report::Say(_("writing the image to %s failed (0x%08X)\n"), address.Format().c_str(),
                        status);
        }
        return status;
    };
    return WriteVerified(
        address, backup, e, changed, write, _("the write did not leave the device as meant: %s\n"),
        Text::Format(_("wrote and verified %zu bytes at %s (areas changed: %s); the previous "
                       "contents are in %s\n"),
                     image.size(), address.Format().c_str(), AreaList(changed).c_str(),
                     backup.Describe().c_str()));
}
} // namespace SafeCommit
