// The simulator at a real terminal: a pseudo-terminal whose slave side is the
// program's standard input and output, typed into through the master side.
// Checks the prompt, the key waits of hlt and in 1, Escape, Ctrl-C and the
// signals that end a process, and that every way out leaves the terminal's
// settings as they were.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "run_program.hpp"

namespace {

using namespace std::chrono_literals;

const char* const PROMPT = "- Object code file :";

bool same_settings(const termios& a, const termios& b) {
    for (int i = 0; i < NCCS; ++i) {
        if (a.c_cc[i] != b.c_cc[i]) return false;
    }
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag;
}

// A program (the simulator unless told) started in dir with a fresh
// pseudo-terminal as its controlling terminal. The slave side stays open here
// too, so that its settings can be read before, during and after the run.
// As a job, the program runs in a process group of its own in the
// foreground, under a parent that waits for it as a shell does, so that
// Ctrl-Z stops it (a stop signal to a group without such a parent is
// dropped).
class TerminalSession {
public:
    explicit TerminalSession(const std::string& dir,
                             std::vector<std::string> command = {simulator_path()},
                             bool as_job = false) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        const char* name = ptsname(master_);
        if (name == nullptr) return;
        slave_ = open(name, O_RDWR | O_NOCTTY);
        if (slave_ < 0 || tcgetattr(slave_, &before_) != 0) return;
        child_ = fork();
        if (child_ == 0) {
            setsid();
            ioctl(slave_, TIOCSCTTY, 0);
            dup2(slave_, STDIN_FILENO);
            dup2(slave_, STDOUT_FILENO);
            dup2(slave_, STDERR_FILENO);
            close(master_);
            close(slave_);
            if (chdir(dir.c_str()) != 0) _exit(126);
            std::vector<char*> argv;
            argv.reserve(command.size() + 1);
            for (std::string& word : command) argv.push_back(word.data());
            argv.push_back(nullptr);
            pid_t job = as_job ? fork() : 0;
            if (job == 0) {
                if (as_job) {
                    setpgid(0, 0);
                    signal(SIGTTOU, SIG_IGN);
                    tcsetpgrp(STDIN_FILENO, getpid());
                    signal(SIGTTOU, SIG_DFL);
                }
                execv(argv[0], argv.data());
                _exit(127);
            }
            int status = 0;
            waitpid(job, &status, 0);
            _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
        }
    }

    // Sends a signal to the terminal's foreground process group, as the
    // terminal does for Ctrl-Z.
    void signal_foreground(int signal_number) const {
        pid_t group = tcgetpgrp(master_);
        if (group > 0) kill(-group, signal_number);
    }

    ~TerminalSession() {
        if (child_ > 0 && status_ < 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }

    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    bool started() const { return child_ > 0; }

    void type(const std::string& keys) {
        ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // Collects output until text has appeared after position from, or until
    // the time is up. True when it appeared.
    bool wait_for(const std::string& text, std::size_t from = 0,
                  std::chrono::milliseconds limit = 5s) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (output_.find(text, from) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            read_some(20);
        }
        return true;
    }

    // Waits for the program to end; -1 if it is still running after limit.
    // Otherwise its exit status, or 128 + the signal that ended it.
    int wait_exit(std::chrono::milliseconds limit = 5s) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(child_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            read_some(10);
        }
        while (read_some(0)) {
        }
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }

    void send_signal(int signal_number) const { kill(child_, signal_number); }

    // From now on output is read no faster than bytes_per_second, as a slow
    // terminal takes it; 0 reads everything at once.
    void limit_reading(std::size_t bytes_per_second) {
        rate_ = bytes_per_second;
        rate_start_ = std::chrono::steady_clock::now();
        rate_read_ = 0;
    }

    // Keeps reading, as a terminal does, for the given time.
    void read_for(std::chrono::milliseconds duration) {
        auto deadline = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < deadline) read_some(10);
    }

    bool running() {
        read_some(0);
        return waitpid(child_, nullptr, WNOHANG) == 0;
    }

    termios settings() const {
        termios now{};
        tcgetattr(slave_, &now);
        return now;
    }
    const termios& before() const { return before_; }
    const std::string& output() const { return output_; }

private:
    bool read_some(int timeout_ms) {
        char buffer[1 << 16];
        std::size_t room = sizeof buffer;
        if (rate_ > 0) {
            std::chrono::duration<double> since = std::chrono::steady_clock::now() - rate_start_;
            auto allowed = static_cast<std::size_t>(since.count() * static_cast<double>(rate_));
            if (allowed <= rate_read_) {
                std::this_thread::sleep_for(1ms);
                return false;
            }
            room = std::min(room, allowed - rate_read_);
        }
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, timeout_ms) <= 0 || (p.revents & POLLIN) == 0) return false;
        ssize_t n = read(master_, buffer, room);
        if (n <= 0) return false;
        output_.append(buffer, static_cast<std::size_t>(n));
        rate_read_ += static_cast<std::size_t>(n);
        return true;
    }

    int master_ = -1;
    int slave_ = -1;
    pid_t child_ = -1;
    int status_ = -1;
    termios before_{};
    std::string output_;
    std::size_t rate_ = 0;
    std::size_t rate_read_ = 0;
    std::chrono::steady_clock::time_point rate_start_;
};

class Terminal : public ::testing::Test {
protected:
    // Writes the object code, starts the simulator and answers its prompt
    // the way a user does: the name, then the Enter key.
    void start(const std::string& object_code) {
        write_file(dir_.file("prog.hx"), object_code);
        session_ = std::make_unique<TerminalSession>(dir_.path);
        if (!session_->started()) GTEST_SKIP() << "no pseudo-terminal available";
        ASSERT_TRUE(session_->wait_for(PROMPT)) << session_->output();
        session_->type("prog.hx\r");
        // The name is echoed while the terminal is still in line mode.
        ASSERT_TRUE(session_->wait_for("prog.hx")) << session_->output();
    }

    // The program has switched the terminal to single-key mode (no line
    // mode, no echo) within a few seconds; keys typed from then on reach it
    // one by one.
    void expect_key_mode() {
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while ((session_->settings().c_lflag & ICANON) != 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
        }
        EXPECT_EQ(session_->settings().c_lflag & (ICANON | ECHO), 0u);
        EXPECT_NE(session_->before().c_lflag & (ICANON | ECHO), 0u);
    }

    void expect_settings_restored() {
        EXPECT_TRUE(same_settings(session_->settings(), session_->before()))
            << "lflag before " << session_->before().c_lflag << ", after "
            << session_->settings().c_lflag;
    }

    TempDir dir_;
    std::unique_ptr<TerminalSession> session_;
};

TEST_F(Terminal, HltWaitsForAKeyAndTheRunEndsWithTheSettingsRestored) {
    start("0 64\n1 65\n");  // nop, hlt
    ASSERT_TRUE(session_->wait_for("-HALT-")) << session_->output();
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(session_->running()) << "hlt did not wait for a key";
    expect_key_mode();
    std::size_t mark = session_->output().size();
    session_->type("q");
    EXPECT_EQ(session_->wait_exit(), 0);
    EXPECT_TRUE(session_->wait_for("No. instruction = 2", mark));
    EXPECT_EQ(session_->output().find('q', mark), std::string::npos) << "the key was echoed";
    expect_settings_restored();
}

TEST_F(Terminal, InFromPort1WaitsForAKey) {
    start("0 8 1\n2 65\n");  // in 1, hlt
    expect_key_mode();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(session_->running());
    EXPECT_EQ(session_->output().find("-HALT-"), std::string::npos) << "in 1 did not wait";
    session_->type("k");
    ASSERT_TRUE(session_->wait_for("-HALT-")) << session_->output();
    session_->type("k");
    EXPECT_EQ(session_->wait_exit(), 0);
    expect_settings_restored();
}

TEST_F(Terminal, EscapeStopsAnEndlessLoop) {
    start("0 48 0\n");  // jmp 0, for ever
    // Spinner frames arrive while it runs; the loop is well under way.
    ASSERT_TRUE(session_->wait_for("\b|")) << session_->output();
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(session_->running());
    expect_key_mode();
    session_->type("\x1b");
    EXPECT_EQ(session_->wait_exit(), 255);
    EXPECT_TRUE(session_->wait_for("\n-user terminated-\r\nPC = 00000 [0000], IR = 048 [30]\r\n"))
        << session_->output();
    EXPECT_TRUE(file_exists(dir_.file("memmap2.txt")));
    expect_settings_restored();
}

TEST_F(Terminal, CtrlCEndsAnEndlessLoop) {
    start("0 48 0\n");
    ASSERT_TRUE(session_->wait_for("\b|")) << session_->output();
    expect_key_mode();
    session_->type("\x03");  // the terminal turns it into SIGINT
    EXPECT_EQ(session_->wait_exit(), 128 + SIGINT);
    expect_settings_restored();
}

// Every signal that ends a process by default and can be caught ends an
// endless loop by that signal, with the terminal's settings put back.
TEST_F(Terminal, EachCatchableEndingSignalEndsAnEndlessLoopWithTheSettingsRestored) {
    for (int signal_number : {SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGXCPU, SIGXFSZ,
                              SIGVTALRM, SIGPROF, SIGUSR1, SIGUSR2}) {
        SCOPED_TRACE(strsignal(signal_number));
        start("0 48 0\n");
        if (HasFatalFailure() || IsSkipped()) return;
        ASSERT_TRUE(session_->wait_for("\b|")) << session_->output();
        expect_key_mode();
        session_->send_signal(signal_number);
        EXPECT_EQ(session_->wait_exit(), 128 + signal_number);
        expect_settings_restored();
    }
}

// On a terminal that takes output slowly (1 MB/s) or at once, Escape and
// Ctrl-C end an endless loop within a fraction of a second: the program never
// runs far ahead of what the terminal has taken. After Escape every spinner
// frame still comes, in order, before the stop message. The times are printed
// as benchmark figures; the bound checked here is generous.
TEST_F(Terminal, EscapeAndCtrlCAnswerPromptlyAtAnyTerminalSpeed) {
    const std::string stop = "\r\n-user terminated-\r\nPC = 00000 [0000], IR = 048 [30]\r\n";
    for (std::size_t rate : {1000000u, 0u}) {
        for (char key : {'\x1b', '\x03'}) {
            start("0 48 0\n");  // jmp 0, for ever
            if (HasFatalFailure() || IsSkipped()) return;
            expect_key_mode();
            session_->limit_reading(rate);
            session_->read_for(500ms);
            std::size_t mark = session_->output().size();
            auto pressed = std::chrono::steady_clock::now();
            session_->type(std::string(1, key));
            if (key == '\x1b') {
                ASSERT_TRUE(session_->wait_for(stop, mark, 10s));
            }
            int status = session_->wait_exit(10s);
            EXPECT_EQ(status, key == '\x1b' ? 255 : 128 + SIGINT);
            std::chrono::duration<double> took = std::chrono::steady_clock::now() - pressed;
            std::printf("reader %s, %s: %.3f s from the key to the %s\n",
                        rate != 0 ? "at 1 MB/s" : "at once", key == '\x1b' ? "Escape" : "Ctrl-C",
                        took.count(), key == '\x1b' ? "stop message" : "end");
            EXPECT_LT(took, 2s);
            expect_settings_restored();
            if (key == '\x03') continue;
            // "-", then backspace and \ | / - in turn, up to the message.
            const std::string& out = session_->output();
            std::size_t first = out.find("prog.hx\r\n") + 9;
            std::size_t end = out.find(stop, mark);
            ASSERT_LT(first, end);
            ASSERT_EQ(out[first], '-');
            std::size_t wrong = 0;
            for (std::size_t i = first + 1; i < end; i += 2) {
                std::size_t frame = (i - first - 1) / 2;
                if (out[i] != '\b' || i + 1 >= end || out[i + 1] != "\\|/-"[frame % 4]) ++wrong;
            }
            EXPECT_EQ(wrong, 0u) << (end - first) / 2 << " frames";
        }
    }
}

// Ctrl-Z and fg: while stopped the terminal is as it was before the run;
// continued, the simulator takes single keys again (Escape at once) and the
// debugger's line editor its mode and its prompt, whatever the terminal was
// set to meanwhile.
TEST_F(Terminal, StopAndContinueGiveTheTerminalBackAndTakeItAgain) {
    auto wait_until = [&](auto condition) {
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!condition() && std::chrono::steady_clock::now() < deadline) {
            session_->read_for(10ms);
        }
        return condition();
    };
    write_file(dir_.file("prog.hx"), "0 48 0\n");  // jmp 0, for ever
    session_ = std::make_unique<TerminalSession>(
        dir_.path, std::vector<std::string>{simulator_path(), "prog.hx"}, true);
    if (!session_->started()) GTEST_SKIP() << "no pseudo-terminal available";
    ASSERT_TRUE(session_->wait_for("\b|")) << session_->output();
    expect_key_mode();
    session_->signal_foreground(SIGTSTP);
    EXPECT_TRUE(wait_until([&] { return same_settings(session_->settings(), session_->before()); }))
        << "not restored while stopped";
    // What a shell may do meanwhile: line mode with echo, as before.
    termios cooked = session_->before();
    session_->signal_foreground(SIGCONT);
    expect_key_mode();
    session_->type("\x1b");
    EXPECT_EQ(session_->wait_exit(), 255);
    EXPECT_TRUE(session_->wait_for("-user terminated-")) << session_->output();
    expect_settings_restored();
    EXPECT_EQ(cooked.c_lflag & ICANON, static_cast<tcflag_t>(ICANON));

    // The debugger at its prompt.
    write_file(dir_.file("p.asm"), "nop\nhlt\n");
    session_ = std::make_unique<TerminalSession>(
        dir_.path, std::vector<std::string>{DEBUGGER_PATH, "p.asm"}, true);
    ASSERT_TRUE(session_->wait_for("(debugger) ")) << session_->output();
    bool editing = (session_->settings().c_lflag & ICANON) == 0;
    session_->signal_foreground(SIGTSTP);
    EXPECT_TRUE(wait_until([&] { return same_settings(session_->settings(), session_->before()); }))
        << "not restored while stopped";
    std::size_t mark = session_->output().size();
    session_->signal_foreground(SIGCONT);
    if (editing) {
        EXPECT_TRUE(wait_until([&] { return (session_->settings().c_lflag & ICANON) == 0; }));
        EXPECT_TRUE(session_->wait_for("(debugger) ", mark)) << "no prompt after fg";
    }
    mark = session_->output().size();
    session_->type("quit\r");
    EXPECT_EQ(session_->wait_exit(), 0);
    const std::string after = session_->output().substr(mark);
    EXPECT_EQ(after.find("quit"), after.rfind("quit")) << "echoed twice: " << after;
    expect_settings_restored();
}

}  // namespace

// The debugger at a terminal on a run of 10^9 instructions: Ctrl-C ends
// last-write and reverse-continue promptly with `interrupted` and the
// session goes on; Ctrl-C at the prompt drops the line typed; Tab completes
// a command; the lines typed are there again in the next session.
TEST_F(Terminal, DebuggerCtrlCEndsSearchesAndTheLineKeepsItsHistory) {
    if (built_with_sanitizers())
        GTEST_SKIP() << "a billion instructions, timed for an optimized build";
    const char* const LONG_RUN =
        "        ldi 42\n        std early\n        ldiw 3815\n        stdw outer\n"
        "[o      ldiw 65535\n        stdw cnt\n[in     lddw cnt\n        decw\n"
        "        stdw cnt\n        jnz in\n        lddw outer\n        decw\n"
        "        stdw outer\n        jnz o\n        ldi 7\n        std late\n        hlt\n"
        "[early  db 0\n[late   db 0\n[outer  dw 0\n[cnt    dw 0\n";
    write_file(dir_.file("long.asm"), LONG_RUN);
    std::string state = dir_.file("state");
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    session_ = std::make_unique<TerminalSession>(
        dir_.path, std::vector<std::string>{DEBUGGER_PATH, "long.asm"});
    if (!session_->started()) GTEST_SKIP() << "no pseudo-terminal available";
    ASSERT_TRUE(session_->wait_for("(debugger) ")) << session_->output();
    session_->type("continue\r");
    ASSERT_TRUE(session_->wait_for("program halted", 0, 120s)) << session_->output();
    ASSERT_TRUE(session_->wait_for("(debugger) ", session_->output().find("program halted")));
    // The history's summaries answer last-write and rc to a watch at once,
    // with a condition too, tested where the byte changed (the goal is
    // 0.5 s; only a gross slowdown fails here).
    for (const char* search : {"last-write early\r", "watch early\rrc\r",
                               "goto 999999999\rdelete\rwatch early if [early] == 42\rrc\r"}) {
        SCOPED_TRACE(search);
        std::size_t mark = session_->output().size();
        auto sent = std::chrono::steady_clock::now();
        session_->type(search);
        ASSERT_TRUE(session_->wait_for("std early", mark, 10s)) << session_->output();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - sent;
        EXPECT_LT(took.count(), 3.0) << "a gross slowdown: the goal is 0.5 s";
        std::printf("%.3f s\n", took.count());
        ASSERT_TRUE(session_->wait_for("(debugger) ", session_->output().find("std early", mark)));
    }
    session_->type("goto 999999999\rdelete\r");
    // A breakpoint with a condition in the inner loop stops the replay at
    // each of its visits: seconds on this run, which Ctrl-C ends at once.
    for (const char* search : {"break in if [early] == 99\rrc\r"}) {
        SCOPED_TRACE(search);
        std::size_t mark = session_->output().size();
        session_->type(search);
        session_->read_for(300ms);
        auto sent = std::chrono::steady_clock::now();
        session_->type("\x03");
        ASSERT_TRUE(session_->wait_for("interrupted", mark, 10s)) << session_->output();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - sent;
        EXPECT_LT(took.count(), 2.0) << "a gross slowdown: the goal is 0.2 s";
        EXPECT_TRUE(session_->wait_for("8:         decw", mark)) << session_->output().substr(mark);
        std::printf("Ctrl-C answered in %.3f s\n", took.count());
        EXPECT_TRUE(
            session_->wait_for("(debugger) ", session_->output().find("interrupted", mark)));
    }
    // Forward over the recorded run: a watch, and a read watch that never
    // fires, pass over the stretches where their bytes are untouched.
    std::size_t mark = session_->output().size();
    auto sent = std::chrono::steady_clock::now();
    session_->type("delete\rwatch late\rrwatch late\rcontinue\r");
    ASSERT_TRUE(session_->wait_for("std late", mark, 10s)) << session_->output();
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - sent;
    EXPECT_LT(took.count(), 3.0) << "a gross slowdown: the goal is 0.5 s";
    std::printf("forward %.3f s\n", took.count());
    ASSERT_TRUE(session_->wait_for("(debugger) ", session_->output().find("std late", mark)));
    // Ctrl-C at the prompt: the line typed is dropped, the empty line after
    // it does nothing.
    mark = session_->output().size();
    session_->type("regs");
    ASSERT_TRUE(session_->wait_for("regs", mark));
    session_->type("\x03");
    session_->read_for(200ms);
    session_->type("\r");
    // Tab completes the command's name.
    session_->type("undis\t7\r");
    ASSERT_TRUE(session_->wait_for("no display 7", mark)) << session_->output();
    EXPECT_EQ(session_->output().find("PC=", mark), std::string::npos) << session_->output();
    session_->type("quit\r");
    EXPECT_EQ(session_->wait_exit(), 0);
    std::string kept = read_file(state + "/stack-machine-toolchain/debugger_history");
    EXPECT_NE(kept.find("last-write early\nwatch early\nrc\n"), std::string::npos) << kept;
    EXPECT_NE(kept.find("watch early if [early] == 42\nrc\ngoto 999999999\ndelete\nbreak in if "
                        "[early] == 99\nrc\n"),
              std::string::npos)
        << kept;
    EXPECT_NE(kept.find("undisplay 7\nquit\n"), std::string::npos) << kept;
    EXPECT_EQ(kept.find("regs"), std::string::npos) << kept;

    // The next session: the arrow up brings the last line back.
    session_ = std::make_unique<TerminalSession>(
        dir_.path, std::vector<std::string>{DEBUGGER_PATH, "long.asm"});
    ASSERT_TRUE(session_->wait_for("(debugger) ")) << session_->output();
    mark = session_->output().size();
    session_->type("\x1b[A\x1b[A");
    EXPECT_TRUE(session_->wait_for("undisplay 7", mark)) << session_->output();
    session_->type("\r");
    EXPECT_TRUE(session_->wait_for("no display 7", mark)) << session_->output();
    session_->type("quit\r");
    EXPECT_EQ(session_->wait_exit(), 0);
    unsetenv("XDG_STATE_HOME");
}
