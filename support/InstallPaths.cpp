#include "support/InstallPaths.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace InstallPaths {
namespace {
bool Exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0;
}
} // namespace

std::string OwnFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&OwnFolder), &info) || !info.dli_fname)
        return "";
    std::string path = info.dli_fname;
    // The main program is named as it was started, which may be relative to a
    // folder the process has since left; the kernel knows its path.
    if (path.empty() || path[0] != '/') {
        char self[4096];
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        if (n > 0)
            path.assign(self, static_cast<size_t>(n));
    }
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string DataFolder() {
    const std::string own = OwnFolder();
    // The code lies in the library folder (liborvane.so) or in the program
    // folder (the orvane command); share/orvane is at a fixed place from each.
    for (const char* relative : {ORVANE_LIB_TO_DATA, ORVANE_BIN_TO_DATA})
        if (!own.empty() && Exists(own + relative))
            return own + relative;
    return ORVANE_INSTALL_DATADIR;
}

std::string ModuleFile(const std::string& fileName) {
    const std::string own = OwnFolder();
    if (Exists(own + fileName))
        return own + fileName;
    if (!own.empty() && Exists(own + ORVANE_BIN_TO_LIB + "/" + fileName))
        return own + ORVANE_BIN_TO_LIB + "/" + fileName;
    return own + fileName; // the loader's failure then names the expected place
}
} // namespace InstallPaths
