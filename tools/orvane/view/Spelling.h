// Names people type: FRU names compared without regard to case, and the
// nearest known name for one that is mistyped (commands, options, fields).
#pragma once
#include <string>
#include <vector>

namespace Spelling {
// Whether two names are the same when ASCII letters are compared without
// regard to case.
bool Same(const std::string& a, const std::string& b);
// The known name nearest to a typed one: the same but for case, one it
// begins, or one a few letters away (changed, added, dropped or swapped).
// "" when none is near enough to be what was meant.
std::string Nearest(const std::string& typed, const std::vector<std::string>& known);
// "; did you mean NAME?" for the nearest known name, "" when there is none.
std::string DidYouMean(const std::string& typed, const std::vector<std::string>& known);
} // namespace Spelling
