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

class Pty {
public:
    Pty(const std::string& dir, const std::string& file) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
        if (slave_ < 0 || tcgetattr(slave_, &before_) != 0) return;
        child_ = fork();
        if (child_ == 0) {
            setsid();
            ioctl(slave_, TIOCSCTTY, 0);
            for (int fd = 0; fd < 3; ++fd) dup2(slave_, fd);
            if (chdir(dir.c_str()) != 0) _exit(126);
            execl(DEBUGGER_PATH, DEBUGGER_PATH, file.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Pty() {
        if (child_ > 0 && !ended_) kill(child_, SIGKILL), waitpid(child_, nullptr, 0);
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool started() const { return child_ > 0; }
    void type(const std::string& keys) {
        ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    // True when text appears after position from within five seconds.
    bool wait_for(const std::string& text, std::size_t from) {
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (output_.find(text, from) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            read_some();
        }
        return true;
    }
    int wait_exit() {
        int status = 0;
        for (int i = 0; i < 250 && waitpid(child_, &status, WNOHANG) == 0; ++i) read_some();
        ended_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    bool settings_as_before() const {
        termios now{};
        tcgetattr(slave_, &now);
        return now.c_lflag == before_.c_lflag && now.c_iflag == before_.c_iflag &&
               now.c_oflag == before_.c_oflag;
    }
    const std::string& output() const { return output_; }

private:
    void read_some() {
        pollfd p{master_, POLLIN, 0};
        char buffer[4096];
        if (poll(&p, 1, 20) <= 0) return;
        ssize_t n = read(master_, buffer, sizeof buffer);
        if (n > 0) output_.append(buffer, static_cast<std::size_t>(n));
    }

    int master_ = -1;
    int slave_ = -1;
    pid_t child_ = -1;
    bool ended_ = false;
    termios before_{};
    std::string output_;
};

TEST(DebuggerTerminal, PromptsStepsAndStopsAtCtrlC) {
    TempDir dir;
    write_file(dir.file("loop.asm"), "        ldi 0\n[loop   inc\n        jmp loop\n");
    Pty pty(dir.path, "loop.asm");
    if (!pty.started()) GTEST_SKIP() << "no pseudo-terminal available";
    ASSERT_TRUE(pty.wait_for("(debugger) ", 0)) << pty.output();
    std::size_t mark = pty.output().size();
    pty.type("step 2\r");
    ASSERT_TRUE(pty.wait_for("2 0002 inc | SP=3FFE Z=0 S=0 O=0 C=0 | 01\r\n", mark))
        << pty.output();
    EXPECT_NE(pty.output().find("1 0000 ldi 0 | SP=3FFE Z=0 S=0 O=0 C=0 | 00\r\n", mark),
              std::string::npos);
    ASSERT_TRUE(pty.wait_for("(debugger) ", mark)) << pty.output();

    mark = pty.output().size();
    pty.type("continue\r");
    std::this_thread::sleep_for(200ms);
    pty.type("\x03");
    ASSERT_TRUE(pty.wait_for("interrupted\r\n", mark)) << pty.output();
    ASSERT_TRUE(pty.wait_for("(debugger) ", mark)) << pty.output();
    mark = pty.output().size();
    pty.type("regs\r");
    ASSERT_TRUE(pty.wait_for("instructions=", mark)) << pty.output();
    pty.type("quit\r");
    EXPECT_EQ(pty.wait_exit(), 0);
    EXPECT_TRUE(pty.settings_as_before());
}

}  // namespace
