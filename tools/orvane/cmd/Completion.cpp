#include "cmd/Completion.h"

#include "app/Options.h"
#include "cmd/CommandTable.h"
#include "view/FieldNames.h"

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
} // namespace

std::string Bash() {
    std::string s = "# bash completion for orvane, written from its command table.\n";
    s += "_orvane() {\n"
         "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
         "    local commands=\"" +
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
         "return; fi\n"
         "    local cmd= system= single= n=0 i w kind= fru=\n"
         "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "        w=${COMP_WORDS[i]}\n"
         "        case $w in\n"
         "        --system) system=${COMP_WORDS[i+1]} ;;\n"
         "        --system=*) system=${w#--system=} ;;\n"
         "        --file|--image|--file=*|--image=*) single=1 ;;\n"
         "        esac\n"
         "        if [[ $w == -* ]]; then\n"
         "            [[ $w != *=* && $valued == *\" $w \"* ]] && ((i++))\n"
         "        elif [ -z \"$cmd\" ]; then cmd=$w\n"
         "        else [ $n -eq 0 ] && fru=$w; ((n++))\n"
         "        fi\n"
         "    done\n"
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
         Joined(Valued()) +
         " \"\n"
         "    local cur=${words[CURRENT]} prev=${words[CURRENT-1]}\n"
         "    if [[ $valued == *\" $prev \"* ]]; then _files; return; fi\n"
         "    local cmd= system= single= n=0 i w kind= fru=\n"
         "    for ((i = 2; i < CURRENT; i++)); do\n"
         "        w=${words[i]}\n"
         "        case $w in\n"
         "        --system) system=${words[i+1]} ;;\n"
         "        --system=*) system=${w#--system=} ;;\n"
         "        --file|--image|--file=*|--image=*) single=1 ;;\n"
         "        esac\n"
         "        if [[ $w == -* ]]; then\n"
         "            [[ $w != *=* && $valued == *\" $w \"* ]] && ((i++))\n"
         "        elif [ -z \"$cmd\" ]; then cmd=$w\n"
         "        else [ $n -eq 0 ] && fru=$w; ((n++))\n"
         "        fi\n"
         "    done\n"
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
