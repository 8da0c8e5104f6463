#include "app/Report.h"

#include "view/Text.h"
#include "view/Translate.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace Report {
namespace {
bool g_progress = false, g_quiet = false;

void Write(const char* format, va_list args) {
    std::fputs(kPrefix, stderr);
    std::vfprintf(stderr, format, args);
}
} // namespace

int Fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Write(format, args);
    va_end(args);
    return kExitLibrary;
}

int Refused(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Write(format, args);
    va_end(args);
    return kExitRefused;
}

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Write(format, args);
    va_end(args);
}

void SayIn(const char* command, const char* format, ...) {
    std::fprintf(stderr, "orvane %s: ", command);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

int Usage(const std::string& command, const std::string& problem) {
    const std::string name = command.empty() ? "orvane" : "orvane " + command;
    std::fprintf(stderr, "%s: %s\n", name.c_str(), problem.c_str());
    std::fprintf(stderr, _("Try '%s --help'.\n"), name.c_str());
    return kExitUsage;
}

void SetVerbosity(bool progress, bool quiet) {
    g_quiet = quiet;
    g_progress = !quiet && (progress || isatty(STDERR_FILENO) != 0);
}

bool ProgressShown() {
    return g_progress;
}

void Note(const char* format, ...) {
    if (g_quiet)
        return;
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

void Remark(const char* format, ...) {
    if (g_quiet)
        return;
    va_list args;
    va_start(args, format);
    Write(format, args);
    va_end(args);
}

int Library(OrvaneInterface* api, const std::string& what, uint32_t status) {
    const OrvaneChar* message = nullptr;
    GetLastErrorMessage(api, &message);
    if (message && *message)
        return Fail(_("%s failed (0x%08X): %s\n"), what.c_str(), status,
                    Text::ToUtf8(message).c_str());
    return Fail(_("%s failed (0x%08X)\n"), what.c_str(), status);
}

int Os(const std::string& what, int error) {
    return Fail("%s: %s\n", what.c_str(), std::strerror(error));
}
} // namespace Report
