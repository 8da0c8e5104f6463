#include "view/Spelling.h"

#include "view/Text.h"
#include "view/Translate.h"

#include <algorithm>
#include <cctype>

namespace Spelling {
namespace {
std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Edits from a to b: letters changed, added, dropped, or two neighbours swapped.
size_t Edits(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}
} // namespace

bool Same(const std::string& a, const std::string& b) {
    return a.size() == b.size() && Lower(a) == Lower(b);
}

std::string Nearest(const std::string& typed, const std::vector<std::string>& known) {
    const std::string t = Lower(typed);
    // A name begun counts as one edit; more than a third of the typed letters
    // changed is a different word.
    const size_t allowed = std::max<size_t>(1, t.size() / 3);
    std::string best;
    size_t bestScore = allowed + 1;
    for (const std::string& name : known) {
        const std::string n = Lower(name);
        size_t score = Edits(t, n);
        if (t.size() >= 3 && n.rfind(t, 0) == 0)
            score = std::min<size_t>(score, 1);
        if (score < bestScore) {
            best = name;
            bestScore = score;
        }
    }
    return best;
}

std::string DidYouMean(const std::string& typed, const std::vector<std::string>& known) {
    const std::string nearest = Nearest(typed, known);
    return nearest.empty() ? "" : Text::Format(_("; did you mean %s?"), nearest.c_str());
}
} // namespace Spelling
