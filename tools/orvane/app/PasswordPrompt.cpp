#include "app/PasswordPrompt.h"

#include "view/Translate.h"

#include <cerrno>
#include <cstring>
#include <termios.h>
#include <unistd.h>

namespace PasswordPrompt {
namespace {
void Put(int out, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(out, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}
} // namespace

bool Ask(int in, int out, const std::string& prompt, std::string* password, std::string* error) {
    termios saved{};
    if (!isatty(in) || tcgetattr(in, &saved) != 0) {
        *error = _("--password-prompt needs a terminal (use --password-file or ORVANE_PASSWORD)");
        return false;
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL);
    quiet.c_lflag |= ICANON;
    if (tcsetattr(in, TCSAFLUSH, &quiet) != 0) {
        *error = std::strerror(errno);
        return false;
    }
    Put(out, prompt);
    password->clear();
    char c = 0;
    ssize_t n = 0;
    while ((n = read(in, &c, 1)) == 1 && c != '\n')
        password->push_back(c);
    const int readError = n < 0 ? errno : 0;
    tcsetattr(in, TCSAFLUSH, &saved);
    Put(out, "\n");
    while (!password->empty() && password->back() == '\r')
        password->pop_back();
    if (readError) {
        *error = std::strerror(readError);
        return false;
    }
    return true;
}
} // namespace PasswordPrompt
