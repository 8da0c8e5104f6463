// The password prompt: no echo on a terminal, refused without one.
#include "app/PasswordPrompt.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
// What the terminal shows while the prompt reads: the prompt and the line
// end, never the password.
TEST(PasswordPromptTest, ReadsWithoutEchoAndRefusesAPipe) {
    int master = -1, terminal = -1;
    ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    std::string password, error, shown;
    std::thread asking([&] {
        EXPECT_TRUE(PasswordPrompt::Ask(terminal, terminal, "Password: ", &password, &error))
            << error;
    });
    const auto readShown = [&](int timeoutMs) {
        pollfd p{master, POLLIN, 0};
        char buffer[256];
        while (poll(&p, 1, timeoutMs) == 1) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            shown.append(buffer, static_cast<size_t>(n));
            if (shown.find("Password: ") != std::string::npos && timeoutMs > 100)
                return;
        }
    };
    readShown(5000); // the prompt: echo is off from here on
    ASSERT_EQ(write(master, "s3cret\n", 7), 7);
    asking.join();
    readShown(100);
    EXPECT_EQ(password, "s3cret");
    EXPECT_EQ(shown, "Password: \r\n");
    termios after{};
    tcgetattr(terminal, &after);
    EXPECT_TRUE(after.c_lflag & ECHO); // the echo is back
    close(master);
    close(terminal);

    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_FALSE(PasswordPrompt::Ask(pipeEnds[0], pipeEnds[1], "Password: ", &password, &error));
    EXPECT_NE(error.find("needs a terminal"), std::string::npos) << error;
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}
} // namespace
