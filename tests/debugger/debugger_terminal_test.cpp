// The debugger at a real terminal: a pseudo-terminal is its standard input
// and output. It shows the prompt, answers a step, stops a continue that
// would never end at Ctrl-C and goes on, and leaves the terminal's settings
// as they were.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "run_program.hpp"

namespace {

using namespace std::chrono_literals;

TEST(DebuggerTerminal, PromptsStepsAndStopsAtCtrlC) {
    TempDir dir;
    write_file(dir.file("loop.asm"), "        ldi 0\n[loop   inc\n        jmp loop\n");
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) GTEST_SKIP() << "no pty";
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    pid_t child = fork();
    if (child == 0) {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        for (int fd = 0; fd < 3; ++fd) dup2(slave, fd);
        if (chdir(dir.path.c_str()) != 0) _exit(126);
        execl(DEBUGGER_PATH, DEBUGGER_PATH, "loop.asm", static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string output;
    // Reads until text appears after position from, for at most `limit`.
    auto wait_for = [&](const std::string& text, std::size_t from,
                        std::chrono::milliseconds limit = 5s) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (output.find(text, from) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            pollfd p{master, POLLIN, 0};
            char buffer[4096];
            ssize_t n = poll(&p, 1, 20) > 0 ? read(master, buffer, sizeof buffer) : 0;
            if (n > 0) output.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    };
    auto type = [&](const std::string& keys) {
        EXPECT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
        return output.size();
    };
    EXPECT_TRUE(wait_for("(debugger) ", 0)) << output;
    std::size_t mark = type("step 2\r");
    EXPECT_TRUE(wait_for("1 0000 ldi 0 | SP=3FFE Z=0 S=0 O=0 C=0 | 00\r\n", mark)) << output;
    // Each trace line with its source line, then the prompt again.
    EXPECT_TRUE(
        wait_for("2 0002 inc | SP=3FFE Z=0 S=0 O=0 C=0 | 01\r\n    2: [loop   inc\r\n", mark))
        << output;
    EXPECT_TRUE(wait_for("(debugger) ", output.find("[loop   inc", mark))) << output;
    mark = type("continue\r");
    std::this_thread::sleep_for(200ms);
    type("\x03");
    EXPECT_TRUE(wait_for("interrupted\r\n", mark)) << output;
    mark = type("regs\r");
    EXPECT_TRUE(wait_for("instructions=", mark)) << output;
    type("quit\r");
    int status = -1;
    for (int i = 0; i < 250 && waitpid(child, &status, WNOHANG) == 0; ++i) {
        wait_for("\x01", 0, 20ms);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    if (!WIFEXITED(status)) kill(child, SIGKILL), waitpid(child, nullptr, 0);
    termios after{};
    tcgetattr(slave, &after);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    close(slave);
    close(master);
}

}  // namespace
