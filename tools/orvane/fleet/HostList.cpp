#include "fleet/HostList.h"

#include <cctype>
#include <map>
#include <set>
#include <sstream>

namespace HostList {
namespace {
std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool AllDigits(const std::string& s) {
    if (s.empty() || s.size() > 9)
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// An empty column, or a cipher suite id 0 to 19.
bool SuiteId(const std::string& s) {
    return s.empty() || (AllDigits(s) && s.size() <= 2 && std::stoul(s) <= 19);
}

// Splits at commas outside brackets.
std::vector<std::string> SplitTop(const std::string& text) {
    std::vector<std::string> parts(1);
    int depth = 0;
    for (char c : text) {
        depth += c == '[' ? 1 : c == ']' ? -1 : 0;
        if (c == ',' && depth == 0)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

// The numbers of one bracket group's contents, "1-3,07,10-12", as text.
bool GroupValues(const std::string& group, std::vector<std::string>* values, std::string* error) {
    std::stringstream items(group);
    std::string item;
    size_t count = 0;
    while (std::getline(items, item, ',')) {
        item = Trim(item);
        const size_t dash = item.find('-');
        const std::string low = Trim(item.substr(0, dash));
        const std::string high = dash == std::string::npos ? low : Trim(item.substr(dash + 1));
        if (!AllDigits(low) || !AllDigits(high)) {
            *error = "\"" + item + "\" in [" + group + "] is not a number or range";
            return false;
        }
        const unsigned long from = std::stoul(low), to = std::stoul(high);
        if (from > to) {
            *error = "range " + item + " runs backwards";
            return false;
        }
        count += to - from + 1;
        if (count > kMaxHosts) {
            *error = "[" + group + "] holds more than " + std::to_string(kMaxHosts) + " numbers";
            return false;
        }
        const size_t width = low.size() > 1 && low[0] == '0' ? low.size() : 0;
        for (unsigned long n = from; n <= to; ++n) {
            std::string digits = std::to_string(n);
            if (digits.size() < width)
                digits.insert(0, width - digits.size(), '0');
            values->push_back(digits);
        }
    }
    if (count == 0) {
        *error = "empty brackets";
        return false;
    }
    return true;
}

// Appends the hosts of one pattern.
bool ExpandPattern(const std::string& pattern, std::vector<std::string>* out, std::string* error) {
    std::vector<std::string> partial{""};
    size_t i = 0;
    while (i < pattern.size()) {
        const size_t open = pattern.find_first_of("[]", i);
        const std::string literal = pattern.substr(i, open - i);
        for (auto& p : partial)
            p += literal;
        if (open == std::string::npos)
            break;
        const size_t close = pattern.find_first_of("[]", open + 1);
        if (pattern[open] == ']' || close == std::string::npos || pattern[close] == '[') {
            *error = "unbalanced brackets in \"" + pattern + "\"";
            return false;
        }
        std::vector<std::string> values;
        if (!GroupValues(pattern.substr(open + 1, close - open - 1), &values, error))
            return false;
        if (partial.size() * values.size() > kMaxHosts) {
            *error = "\"" + pattern + "\" names more than " + std::to_string(kMaxHosts) + " hosts";
            return false;
        }
        std::vector<std::string> next;
        next.reserve(partial.size() * values.size());
        for (const auto& p : partial)
            for (const auto& v : values)
                next.push_back(p + v);
        partial.swap(next);
        i = close + 1;
    }
    out->insert(out->end(), partial.begin(), partial.end());
    return true;
}
} // namespace

bool Expand(const std::string& text, std::vector<std::string>* hosts, std::string* error) {
    std::vector<std::string> all;
    for (const std::string& raw : SplitTop(text)) {
        const std::string pattern = Trim(raw);
        if (pattern.empty()) {
            *error = "empty host name in \"" + text + "\"";
            return false;
        }
        if (pattern.find_first_of(" \t") != std::string::npos) {
            *error = "blank inside host \"" + pattern + "\"";
            return false;
        }
        if (!ExpandPattern(pattern, &all, error))
            return false;
        if (all.size() > kMaxHosts) {
            *error = "more than " + std::to_string(kMaxHosts) + " hosts";
            return false;
        }
    }
    std::set<std::string> seen;
    for (auto& host : all)
        if (seen.insert(host).second)
            hosts->push_back(std::move(host));
    return true;
}

bool ParseFile(const std::string& text, std::vector<HostEntry>* entries, std::string* error) {
    std::stringstream lines(text);
    std::string line;
    std::map<std::string, size_t> seen; // host -> its entry
    for (int number = 1; std::getline(lines, line); ++number) {
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        std::stringstream words(line);
        std::vector<std::string> word;
        for (std::string w; words >> w;)
            word.push_back(w);
        if (word.empty()) // white space that Trim keeps, such as \v or \f
            continue;
        std::vector<std::string> hosts;
        std::string reason =
            "expected \"host[:port] [user password-file [cipher-suite [kg-file]]]\"";
        if (word.size() == 2 || word.size() > 5 || !Expand(word[0], &hosts, &reason)) {
            *error = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
        word.resize(5);
        for (std::string& w : word)
            if (w == "-")
                w.clear();
        if (!SuiteId(word[3])) {
            *error = "line " + std::to_string(number) + ": the cipher suite \"" + word[3] +
                     "\" is not a number from 0 to 19";
            return false;
        }
        for (auto& host : hosts) {
            // A host named again is the same host only with the same
            // credentials; otherwise which line holds is a guess.
            const HostEntry entry{host, word[1], word[2], word[3], word[4]};
            if (const auto at = seen.find(host); at != seen.end()) {
                if ((*entries)[at->second] == entry)
                    continue;
                *error = "line " + std::to_string(number) + ": " + host +
                         " is named before with other credentials";
                return false;
            }
            seen[host] = entries->size();
            if (entries->size() >= kMaxHosts) {
                *error = "more than " + std::to_string(kMaxHosts) + " hosts";
                return false;
            }
            entries->push_back(entry);
        }
    }
    return true;
}
} // namespace HostList
