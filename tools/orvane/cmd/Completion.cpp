#include "cmd/Completion.h"

#include "app/Options.h"
#include "cmd/CommandTable.h"
#include "view/FieldNames.h"

#include <string_view>
#include <utility>
#include <vector>

namespace Completion {
namespace {
std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words)
        text += (text.empty() ? "" : " ") + w;
    return text;
}

std::vector<std::string> Visible() {
    std::vector<std::string> names;
    for (const Commands::Command& c : Commands::All())
        if (!Commands::Hidden(c))
            names.push_back(c.name);
    return names;
}

std::vector<std::string> Valued() {
    std::vector<std::string> names;
    for (const std::string& name : Options::Names())
        if (Options::TakesValue(name))
            names.push_back(name);
    return names;
}

// The shell function's case arms: each command's options.
std::string OptionArms(const char* open, const char* close) {
    std::string arms;
    for (const Commands::Command& c : Commands::All())
        if (!Commands::Hidden(c))
            arms += std::string("        ") + c.name + ") " + open +
                    Joined(Commands::OptionNames(c)) + close + "\n";
    return arms;
}

// Which operands of a command are a FRU and which a field: set FRU FIELD
// VALUE ..., get FRU FIELD, show/save/dump/write FRU. Shared by both shells:
// `slot` is the operand's number (from 0) without the FRU when --file or
// --image names it.
constexpr const char* kOperandKind =
    "    case $cmd in\n"
    "    get) [ $n -eq $first ] && kind=fru; [ $n -eq $((first + 1)) ] && kind=field ;;\n"
    "    set) [ $n -eq $first ] && kind=fru\n"
    "         [ $n -gt $first ] && [ $(((n - first) % 2)) -eq 1 ] && kind=field ;;\n"
    "    show|save|dump|write) [ $n -eq $first ] && kind=fru ;;\n"
    "    esac\n";

// Where the two shells keep the command line: the array of its words, the
// index of the first word after "orvane" (bash counts from 0, zsh from 1)
// and the index of the word being completed. They fill the slots @words@,
// @first@ and @current@ of the script texts both shells share.
struct Shell {
    const char* words;
    const char* first;
    const char* current;
};
constexpr Shell kBash = {"COMP_WORDS", "1", "COMP_CWORD"};
constexpr Shell kZsh = {"words", "2", "CURRENT"};

std::string Filled(std::string text, const Shell& shell) {
    const std::pair<std::string_view, std::string_view> slots[] = {
        {"@words@", shell.words}, {"@first@", shell.first}, {"@current@", shell.current}};
    for (const auto& [slot, value] : slots)
        for (size_t at = text.find(slot); at != std::string::npos;
             at = text.find(slot, at + value.size()))
            text.replace(at, slot.size(), value);
    return text;
}

// The word being completed and the one before it.
constexpr const char* kCurrentWords =
    "    local cur=${@words@[@current@]} prev=${@words@[@current@-1]}\n";

// The words before the one being completed: the command, the --system
// given, whether --file or --image stands in for the FRU (single), the
// number of operands (n) and the first of them (fru); an option's value is
// skipped.
constexpr const char* kWordScan =
    "    local cmd= system= single= n=0 i w kind= fru=\n"
    "    for ((i = @first@; i < @current@; i++)); do\n"
    "        w=${@words@[i]}\n"
    "        case $w in\n"
    "        --system) system=${@words@[i+1]} ;;\n"
    "        --system=*) system=${w#--system=} ;;\n"
    "        --file|--image|--file=*|--image=*) single=1 ;;\n"
    "        esac\n"
    "        if [[ $w == -* ]]; then\n"
    "            [[ $w != *=* && $valued == *\" $w \"* ]] && ((i++))\n"
    "        elif [ -z \"$cmd\" ]; then cmd=$w\n"
    "        else [ $n -eq 0 ] && fru=$w; ((n++))\n"
    "        fi\n"
    "    done\n";
} // namespace

std::string Bash() {
    std::string s = "# bash completion for orvane, written from its command table.\n";
    s += "_orvane() {\n" + Filled(kCurrentWords, kBash) + "    local commands=\"" +
         Joined(Visible()) +
         "\"\n"
         "    local fields=\"" +
         Joined(FieldNames::All()) +
         "\"\n"
         "    local valued=\" " +
         Joined(Valued()) +
         " \"\n"
         "    case $prev in\n"
         "    --driver) COMPREPLY=($(compgen -W \"sim freeipmi\" -- \"$cur\")); return ;;\n"
         "    --interface) COMPREPLY=($(compgen -W \"lan lanplus\" -- \"$cur\")); return ;;\n"
         "    --privilege) COMPREPLY=($(compgen -W \"user operator admin\" -- \"$cur\")); return "
         ";;\n"
         "    esac\n"
         "    if [[ $valued == *\" $prev \"* ]]; then COMPREPLY=($(compgen -f -- \"$cur\")); "
         "return; fi\n" +
         Filled(kWordScan, kBash) +
         "    if [[ $cur == -* ]]; then\n"
         "        local opts=\"--help\"\n"
         "        case $cmd in\n" +
         OptionArms("opts=\"", "\" ;;") +
         "        esac\n"
         "        COMPREPLY=($(compgen -W \"$opts\" -- \"$cur\")); return\n"
         "    fi\n"
         "    if [ -z \"$cmd\" ]; then COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\")); "
         "return; fi\n"
         "    local first=0; [ -n \"$single\" ] && first=-1\n" +
         kOperandKind +
         "    local ask=(orvane --quiet)\n"
         "    [ -n \"$system\" ] && ask+=(--system \"$system\")\n"
         "    local IFS=$'\\n'\n"
         "    if [ \"$kind\" = fru ] && [ -n \"$system\" ]; then\n"
         "        COMPREPLY=($(compgen -W \"$(\"${ask[@]}\" __complete frus 2>/dev/null)\" -- "
         "\"$cur\"))\n"
         "    elif [ \"$kind\" = field ]; then\n"
         "        local known=\n"
         "        [ -n \"$system\" ] && [ -z \"$single\" ] &&\n"
         "            known=$(\"${ask[@]}\" __complete fields \"$fru\" 2>/dev/null)\n"
         "        [ -z \"$known\" ] && known=${fields// /$'\\n'}\n"
         "        COMPREPLY=($(compgen -W \"$known\" -- \"$cur\"))\n"
         "    else\n"
         "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "    fi\n"
         "}\n"
         "complete -F _orvane orvane\n";
    return s;
}

std::string Zsh() {
    std::string s =
        "#compdef orvane\n# zsh completion for orvane, written from its command table.\n";
    s += "_orvane() {\n"
         "    local -a commands fields opts frus\n"
         "    commands=(" +
         Joined(Visible()) +
         ")\n"
         "    fields=(" +
         Joined(FieldNames::All()) +
         ")\n"
         "    local valued=\" " +
         Joined(Valued()) + " \"\n" + Filled(kCurrentWords, kZsh) +
         "    if [[ $valued == *\" $prev \"* ]]; then _files; return; fi\n" +
         Filled(kWordScan, kZsh) +
         "    if [[ $cur == -* ]]; then\n"
         "        opts=(--help)\n"
         "        case $cmd in\n" +
         OptionArms("opts=(", ") ;;") +
         "        esac\n"
         "        compadd -- $opts; return\n"
         "    fi\n"
         "    if [ -z \"$cmd\" ]; then compadd -- $commands; return; fi\n"
         "    local first=0; [ -n \"$single\" ] && first=-1\n" +
         kOperandKind +
         "    local -a ask; ask=(orvane --quiet)\n"
         "    [ -n \"$system\" ] && ask+=(--system \"$system\")\n"
         "    if [ \"$kind\" = fru ] && [ -n \"$system\" ]; then\n"
         "        frus=(\"${(@f)$(\"${ask[@]}\" __complete frus 2>/dev/null)}\")\n"
         "        compadd -- $frus\n"
         "    elif [ \"$kind\" = field ]; then\n"
         "        local -a known\n"
         "        [ -n \"$system\" ] && [ -z \"$single\" ] &&\n"
         "            known=(\"${(@f)$(\"${ask[@]}\" __complete fields \"$fru\" 2>/dev/null)}\")\n"
         "        (( ${#known} )) && [ -n \"${known[1]}\" ] || known=($fields)\n"
         "        compadd -- $known\n"
         "    else\n"
         "        _files\n"
         "    fi\n"
         "}\n"
         "_orvane \"$@\"\n";
    return s;
}
} // namespace Completion
