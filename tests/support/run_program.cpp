#include "run_program.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

RunResult run_program(const std::string& program, const std::string& input,
                      const std::string& directory) {
    int in_pipe[2];
    int out_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {"", -1};
    }
    pid_t child = fork();
    if (child == 0) {
        dup2(in_pipe[0], STDIN_FILENO);
        dup2(out_pipe[1], STDOUT_FILENO);
        close(in_pipe[0]);
        close(in_pipe[1]);
        close(out_pipe[0]);
        close(out_pipe[1]);
        if (chdir(directory.c_str()) != 0) _exit(126);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    signal(SIGPIPE, SIG_IGN);
    fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);

    std::string output;
    std::size_t sent = 0;
    bool input_open = true;
    if (input.empty()) {
        close(in_pipe[1]);
        input_open = false;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    char buffer[65536];
    for (;;) {
        struct pollfd fds[2] = {{out_pipe[0], POLLIN, 0},
                                {input_open ? in_pipe[1] : -1, POLLOUT, 0}};
        int ready = poll(fds, 2, 100);
        if (ready < 0 && errno != EINTR) break;
        if (input_open && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = write(in_pipe[1], input.data() + sent, input.size() - sent);
            if (n > 0) sent += static_cast<std::size_t>(n);
            if (n < 0 && errno != EAGAIN) sent = input.size();
            if (sent == input.size()) {
                close(in_pipe[1]);
                input_open = false;
            }
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t n = read(out_pipe[0], buffer, sizeof buffer);
            if (n <= 0) break;
            output.append(buffer, static_cast<std::size_t>(n));
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            ADD_FAILURE() << program << " ran for more than 20 seconds";
            break;
        }
    }
    if (input_open) close(in_pipe[1]);
    close(out_pipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    int exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return {output, exit_status};
}

TempDir::TempDir() {
    char pattern[] = "/tmp/smtest.XXXXXX";
    const char* made = mkdtemp(pattern);
    path = made ? made : "/tmp";
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path, ignored);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

std::string simulator_path() { return SIMULATOR_PATH; }
std::string assembler_path() { return ASSEMBLER_PATH; }
