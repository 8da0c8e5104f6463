#include "app/Report.h"

#include "view/JsonWriter.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace Report {
namespace {
bool g_progress = false, g_quiet = false;

// What --json tells on standard output when a command fails: the first
// failure reported, its kind and the library's status when there was one.
struct Failure {
    bool json = false, printed = false;
    std::string error, kind;
    uint32_t status = 0;
} failure;

void Note(const std::string& text, const char* kind) {
    if (!failure.error.empty())
        return;
    failure.error = text.substr(0, text.find_last_not_of('\n') + 1);
    failure.kind = kind;
}

void Write(const char* kind, const char* format, va_list args) {
    const std::string text = Text::FormatV(format, args);
    std::fputs(kPrefix, stderr);
    std::fputs(text.c_str(), stderr);
    if (kind)
        Note(text, kind);
}
} // namespace

void JsonMode(bool json) {
    failure.json = json;
}

void Printed() {
    failure.printed = true;
}

int Finish(int code) {
    if (!failure.json || failure.printed || failure.error.empty() || code == kExitOk ||
        code == kExitPartial || code == kExitHostsFailed)
        return code;
    const char* kind = !failure.kind.empty()  ? failure.kind.c_str()
                       : code == kExitUsage   ? "usage"
                       : code == kExitRefused ? "refused"
                                              : "failed";
    JsonWriter::Value object = {{"error", failure.error}, {"status", kind}};
    if (failure.status) {
        char status[16];
        std::snprintf(status, sizeof status, "0x%08X", failure.status);
        object["library_status"] = status;
    }
    object["exit_code"] = code;
    std::printf("%s\n", JsonWriter::Inline(object).c_str());
    std::fflush(stdout);
    return code;
}

int Diverted(bool diverted, const std::function<int()>& run) {
    if (!diverted)
        return run();
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    if (saved < 0)
        return Os(_("sending the command's remarks to standard error"), errno);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    const int code = run();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    return code;
}

int Fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Write("failed", format, args);
    va_end(args);
    return kExitLibrary;
}

int Refused(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Write("refused", format, args);
    va_end(args);
    return kExitRefused;
}

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Write("", format, args);
    va_end(args);
}

void SayIn(const char* command, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = Text::FormatV(format, args);
    va_end(args);
    std::fprintf(stderr, "orvane %s: %s", command, text.c_str());
    Note(text, "");
}

int Usage(const std::string& command, const std::string& problem) {
    Note(problem, "usage");
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
    Write(nullptr, format, args); // a remark is no failure
    va_end(args);
}

int Library(OrvaneInterface* api, const std::string& what, uint32_t status) {
    if (failure.error.empty())
        failure.status = status;
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
