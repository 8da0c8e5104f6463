// orvane load: a configuration file read and shown.
#include "cmd/Commands.h"

namespace Commands {
int Load(Session& s, const Options& o) {
    Options file = o;
    file.file = o.operands[0];
    file.operands.clear();
    return Show(s, file);
}
} // namespace Commands
