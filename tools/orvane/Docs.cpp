// orvane-docs: writes the manual page orvane(1) and the bash and zsh
// completion scripts from the command table, at build time, so that they
// say what --help says. Texts stay English (no locale is set).
#include "cmd/Completion.h"
#include "cmd/Manual.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvane-docs FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const struct {
        const char* name;
        std::string text;
    } files[] = {{"orvane.1", Manual::Page(ORVANE_VERSION)},
                 {"orvane.bash", Completion::Bash()},
                 {"_orvane", Completion::Zsh()}};
    for (const auto& f : files) {
        std::ofstream out(folder + "/" + f.name, std::ios::binary);
        out << f.text;
        if (!out.flush()) {
            std::fprintf(stderr, "orvane-docs: cannot write %s/%s\n", folder.c_str(), f.name);
            return 1;
        }
    }
    return 0;
}
