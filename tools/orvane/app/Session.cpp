#include "app/Session.h"
#include "app/Report.h"

#include "api/FruEdit.h"
#include "api/ImageModel.h"
#include "app/CatalogueGuard.h"
#include "app/DriverReasons.h"
#include "view/FieldNames.h"
#include "view/FruViews.h"
#include "view/Spelling.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {
// The progress display: a bar that redraws itself on a terminal, plain lines
// otherwise (with --progress, logs and pipes keep every step).
bool g_terminal = false;
bool g_barOpen = false;

void Display(uint32_t phase, const OrvaneChar* text, uint32_t done, uint32_t total) {
    if (!Report::ProgressShown())
        return;
    const std::string line = Text::ToUtf8(text);
    if (!g_terminal) {
        std::fprintf(stderr, "%s\n", line.c_str());
        return;
    }
    if (phase == ORVANE_PROGRESS_LOAD && total > 0) {
        constexpr uint32_t kWidth = 30;
        const uint32_t filled = done >= total ? kWidth : done * kWidth / total;
        std::string bar(filled, '#');
        bar.append(kWidth - filled, '.');
        std::fprintf(stderr, "\r\033[K[%s] %u/%u %s", bar.c_str(), done, total, line.c_str());
        g_barOpen = true;
    } else {
        std::fprintf(stderr, "%s%s", g_barOpen ? "\r\033[K" : "", line.c_str());
        g_barOpen = true;
    }
    std::fflush(stderr);
}

void EndLine() {
    if (g_barOpen)
        std::fprintf(stderr, "\n");
    g_barOpen = false;
}

std::u16string Wide(const std::string& s) {
    return Text::FromUtf8(s);
}
} // namespace

void Session::ShowProgress(uint32_t phase, const OrvaneChar* text, uint32_t done, uint32_t total) {
    Display(phase, text, done, total);
}

void Session::EndProgress() {
    EndLine();
}

Session::~Session() {
    if (open)
        DeInitialize(&api);
}

bool Session::Open(const std::string& language, const std::string& locale, int debugLevel) {
    api.setLanguage = CatalogueGuard::SetLanguage;
    uint32_t status = Initialize(&api);
    if (status != ORVANE_OK) {
        Report::Say(_("the library cannot start (0x%08X): is the English catalogue "
                      "enus/orvane/str/orvane.str installed or ORVANE_DATA_DIR set?\n"),
                    status);
        return false;
    }
    open = true;
    // The command reports failures itself; the debug log only when asked for.
    SetDebugLevel(&api, debugLevel >= 0 ? static_cast<uint32_t>(debugLevel) : 0);
    if (!language.empty()) {
        status = CatalogueGuard::SetLanguage(&api, Wide(language).c_str(),
                                             Wide(locale.empty() ? language : locale).c_str());
        if (status != ORVANE_OK) {
            Fail(Text::Format(_("loading the catalogue %s%s"), language.c_str(),
                              (locale.empty() ? language : locale).c_str()),
                 status);
            return false;
        }
    }
    g_terminal = isatty(STDERR_FILENO) != 0;
    SetProgressCallback(&api, ShowProgress);
    return true;
}

int Session::Fail(const std::string& what, uint32_t status) {
    EndProgress();
    return Report::Library(&api, what, status);
}

bool Session::LoadSystem(bool probeFru0) {
    if (!DriverReasons::CheckController())
        return false;
    const uint32_t status = LoadConfigurationFromSystem(&api);
    EndProgress();
    if (status != ORVANE_OK) {
        Fail(_("loading the configuration from the system"), status);
        return false;
    }
    slots = Positions::Build(&api, probeFru0);
    return true;
}

uint32_t Session::Count() {
    uint32_t present = 0, loaded = 0;
    if (GetNumberOfFrus(&api, &present, &loaded) != ORVANE_OK)
        return 0;
    return loaded;
}

bool Session::SelectedAddress(FruAddress* a) {
    return GetFruAddress(&api, &a->nvsType, &a->lun, &a->deviceAddress, &a->bus, &a->controller,
                         &a->deviceId) == ORVANE_OK;
}

bool Session::SelectFru(const std::string& designation, uint32_t* index) {
    if (slots.empty())
        return SelectListed(designation, index);
    size_t at = 0;
    const Positions::Slot* slot = Positions::Find(slots, designation, &at);
    if (!slot) {
        if (Positions::IsPosition(designation))
            Report::Say(_("there is no FRU %s (positions 0 to %zu; try orvane scan)\n"),
                        designation.c_str(), slots.size() - 1);
        else
            Report::Say(FruAddress::Parse(designation)
                            ? _("no located FRU is at the address \"%s\" (try orvane scan)\n")
                            : _("no located FRU is named \"%s\" (try orvane scan)\n"),
                        designation.c_str());
        std::error_code ec;
        if (std::filesystem::is_regular_file(designation, ec))
            Report::Say(_("%s is a file: a raw FRU image goes with --image %s, a configuration "
                          "file with --file %s\n"),
                        designation.c_str(), designation.c_str(), designation.c_str());
        return false;
    }
    const DeviceAccess::LocatedDevice& d = slot->device;
    if (!slot->index) {
        Report::Say(d.damaged ? _("FRU %zu (%s at %s) is damaged: 0x%08X %s\n")
                              : _("FRU %zu (%s at %s) cannot be read: 0x%08X %s\n"),
                    at, d.name.c_str(), d.address.Format().c_str(), d.status, d.message.c_str());
        return false;
    }
    *index = *slot->index;
    if (const uint32_t status = ::SelectFru(&api, *index); status != ORVANE_OK) {
        Fail(Text::Format(_("selecting FRU %s"), designation.c_str()), status);
        return false;
    }
    return true;
}

bool Session::SelectListed(const std::string& designation, uint32_t* position) {
    const uint32_t count = Count();
    if (auto number = Text::ParseNumber(designation, 0xFFFF);
        number && designation.find(':') == std::string::npos) {
        if (*number >= count) {
            Report::Say(_("there is no FRU %u (%u FRUs loaded)\n"), *number, count);
            return false;
        }
        *position = *number;
        if (const uint32_t status = ::SelectFru(&api, *number); status != ORVANE_OK) {
            Fail(Text::Format(_("selecting FRU %s"), designation.c_str()), status);
            return false;
        }
        return true;
    }
    const auto address = FruAddress::Parse(designation);
    for (uint32_t i = 0; i < count; ++i) {
        if (::SelectFru(&api, i) != ORVANE_OK)
            continue;
        FruAddress a;
        const OrvaneChar* name = nullptr;
        const bool match = address ? SelectedAddress(&a) && a == *address
                                   : GetFruName(&api, &name) == ORVANE_OK &&
                                         Spelling::Same(Text::ToUtf8(name), designation);
        if (match) {
            *position = i;
            return true;
        }
    }
    Report::Say(address ? _("no loaded FRU is at the address \"%s\" (try orvane scan)\n")
                        : _("no loaded FRU is named \"%s\" (try orvane scan)\n"),
                designation.c_str());
    return false;
}

bool Session::Describe(uint32_t position, FruView* view) {
    if (uint32_t status = ::SelectFru(&api, position); status != ORVANE_OK) {
        Fail(Text::Format(_("selecting FRU %u"), position), status);
        return false;
    }
    view->position = position;
    if (const auto at = Positions::PositionOf(slots, FruEdit::SelectedFru())) {
        view->position = *at;
        view->withoutRecord = slots[*at].withoutRecord;
    }
    const OrvaneChar* name = nullptr;
    if (GetFruName(&api, &name) == ORVANE_OK)
        view->name = Text::ToUtf8(name);
    SelectedAddress(&view->address);
    if (!ImageModel::Describe(FruEdit::SelectedFru(), &view->image)) {
        Report::Say(_("FRU %u cannot be described\n"), position);
        return false;
    }
    return true;
}
