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
#include <vector>

#include <gtest/gtest.h>

RunResult run_program(const std::string& program, const std::string& input,
                      const std::string& directory) {
    return run_program(program, {}, input, directory);
}

RunResult run_program(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input, const std::string& directory) {
    int in_pipe[2];
    int out_pipe[2];
    int err_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {"", -1, ""};
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        dup2(in_pipe[0], STDIN_FILENO);
        dup2(out_pipe[1], STDOUT_FILENO);
        // Without arguments standard error stays the caller's, as before.
        if (!arguments.empty()) dup2(err_pipe[1], STDERR_FILENO);
        for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]})
            close(fd);
        if (chdir(directory.c_str()) != 0) _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    signal(SIGPIPE, SIG_IGN);
    fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);

    std::string output;
    std::string errors;
    bool errors_open = true;
    std::size_t sent = 0;
    bool input_open = true;
    if (input.empty()) {
        close(in_pipe[1]);
        input_open = false;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(run_time_limit);
    char buffer[65536];
    for (;;) {
        struct pollfd fds[3] = {{out_pipe[0], POLLIN, 0},
                                {input_open ? in_pipe[1] : -1, POLLOUT, 0},
                                {errors_open ? err_pipe[0] : -1, POLLIN, 0}};
        int ready = poll(fds, 3, 100);
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
        if (errors_open && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
            ssize_t n = read(err_pipe[0], buffer, sizeof buffer);
            if (n <= 0) errors_open = false;
            if (n > 0) errors.append(buffer, static_cast<std::size_t>(n));
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t n = read(out_pipe[0], buffer, sizeof buffer);
            if (n <= 0) break;
            output.append(buffer, static_cast<std::size_t>(n));
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            ADD_FAILURE() << program << " ran for more than " << run_time_limit << " seconds";
            break;
        }
    }
    if (input_open) close(in_pipe[1]);
    close(out_pipe[0]);
    // Standard output has ended; what standard error still holds follows.
    for (ssize_t n; errors_open && (n = read(err_pipe[0], buffer, sizeof buffer)) > 0;)
        errors.append(buffer, static_cast<std::size_t>(n));
    close(err_pipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    int exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return {output, exit_status, errors};
}

// A guard against a hung program, not a speed test: under the sanitizers
// programs run several times slower, so the guard is wider there.
#if defined(__SANITIZE_ADDRESS__)
int run_time_limit = 60;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
int run_time_limit = 60;
#else
int run_time_limit = 20;
#endif
#else
int run_time_limit = 20;
#endif

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

std::string echo_section(const std::string& output, const std::string& name) {
    std::string mark = "=";
    mark.append(name).append("\n");
    std::size_t start = output.find(mark);
    if (start == std::string::npos) return "";
    start += mark.size();
    std::size_t end = output.find("\n=", start - 1);
    return output.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
}
