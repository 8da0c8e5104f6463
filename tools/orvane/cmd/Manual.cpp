#include "cmd/Manual.h"

#include "cmd/CommandTable.h"

#include <sstream>

namespace Manual {
namespace {
// A text as roff shows it line for line: backslashes and minus signs
// escaped, a line that begins with a control character guarded.
std::string Verbatim(const std::string& text) {
    std::string out = ".nf\n";
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::string escaped;
        for (char c : line)
            escaped += c == '\\' ? "\\e" : c == '-' ? "\\-" : std::string(1, c);
        if (!escaped.empty() && (escaped[0] == '.' || escaped[0] == '\''))
            escaped = "\\&" + escaped;
        out += escaped + "\n";
    }
    return out + ".fi\n";
}

// The text after its first line and the blank line behind it.
std::string AfterUsage(const std::string& text) {
    const size_t end = text.find("\n\n");
    return end == std::string::npos ? text : text.substr(end + 2);
}
} // namespace

std::string Page(const std::string& version) {
    const Commands::OverviewText overview = Commands::OverviewParts();
    std::string page = ".TH ORVANE 1 \"\" \"orvane " + version + "\" \"User Commands\"\n";
    page += ".SH NAME\norvane \\- read, show, change, save and restore IPMI FRU inventory\n";
    page += ".SH SYNOPSIS\n.B orvane\n[\\fIoptions\\fR] \\fICOMMAND\\fR [\\fIoperands\\fR]\n";
    page += ".SH DESCRIPTION\n" + Verbatim(AfterUsage(overview.commands));
    page += ".SH COMMANDS\n";
    for (const Commands::Command& command : Commands::All()) {
        if (Commands::Hidden(command))
            continue;
        page +=
            ".SS " + std::string(command.name) + "\n" + Verbatim(Commands::Help(command, false));
    }
    page += ".SH OPTIONS\n" + Verbatim(overview.options);
    page += ".SH \"EXIT STATUS\"\n" + Verbatim(overview.closing);
    page += ".SH \"SEE ALSO\"\n.BR ipmitool (1),\n.BR ipmi-fru (8)\n";
    return page;
}
} // namespace Manual
