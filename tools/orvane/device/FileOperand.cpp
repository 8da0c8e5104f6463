#include "device/FileOperand.h"

#include "view/Text.h"
#include "view/Translate.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileOperand {
namespace {
std::string SystemError(const char* what, const std::string& path, int error) {
    return Text::Format(what, path.c_str()) + ": " + std::strerror(error);
}

// The kind of a file that is not a regular one, or null.
const char* NotRegular(mode_t mode) {
    if (S_ISDIR(mode))
        return _("%s is a directory, not a file");
    if (S_ISFIFO(mode))
        return _("%s is a FIFO (named pipe), not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return _("%s is a device node, not a file");
    if (S_ISSOCK(mode))
        return _("%s is a socket, not a file");
    return S_ISREG(mode) ? nullptr : _("%s is not a regular file");
}

Stamp StampOf(const struct stat& st) {
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
            static_cast<uint64_t>(st.st_size), static_cast<int64_t>(st.st_mtim.tv_sec),
            static_cast<int64_t>(st.st_mtim.tv_nsec)};
}

std::string Changed(const std::string& path) {
    return Text::Format(_("%s changed while it was read; nothing was done with it"), path.c_str());
}
} // namespace

std::string Check(const std::string& path, uint64_t limit, Stamp* stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return SystemError(_("cannot read %s"), path, errno);
    if (const char* kind = NotRegular(st.st_mode))
        return Text::Format(kind, path.c_str());
    if (static_cast<uint64_t>(st.st_size) > limit)
        return Text::Format(_("%s holds %llu bytes, more than the %llu it may hold"), path.c_str(),
                            static_cast<unsigned long long>(st.st_size),
                            static_cast<unsigned long long>(limit));
    if (::access(path.c_str(), R_OK) != 0)
        return SystemError(_("cannot read %s"), path, errno);
    if (stamp)
        *stamp = StampOf(st);
    return "";
}

std::string Unchanged(const std::string& path, const Stamp& stamp) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && StampOf(st) == stamp ? "" : Changed(path);
}

bool Read(const std::string& path, uint64_t limit, std::vector<uint8_t>* bytes,
          std::string* error) {
    Stamp before;
    if (*error = Check(path, limit, &before); !error->empty())
        return false;
    // Not blocking: a FIFO put in the file's place meanwhile must not hang.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = SystemError(_("cannot open %s"), path, errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && StampOf(st) == before;
    bytes->clear();
    uint8_t buffer[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = SystemError(_("cannot read %s"), path, errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        bytes->insert(bytes->end(), buffer, buffer + n);
        ok = bytes->size() <= before.size;
    }
    ok = ok && ::fstat(fd, &st) == 0 && StampOf(st) == before && bytes->size() == before.size;
    ::close(fd);
    if (!ok)
        *error = Changed(path);
    return ok;
}

std::string CheckOutput(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISCHR(st.st_mode) ||
        S_ISBLK(st.st_mode))
        return "";
    return Text::Format(NotRegular(st.st_mode), path.c_str());
}
} // namespace FileOperand
