#include "adapter_client.hpp"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

AdapterClient::AdapterClient(const std::string& program, const std::string& directory) {
    int in_pipe[2];
    int out_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0) {
        ADD_FAILURE() << "pipe failed";
        return;
    }
    child_ = fork();
    if (child_ == 0) {
        dup2(in_pipe[0], STDIN_FILENO);
        dup2(out_pipe[1], STDOUT_FILENO);
        for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1]}) close(fd);
        if (chdir(directory.c_str()) != 0) _exit(126);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    signal(SIGPIPE, SIG_IGN);
    to_ = in_pipe[1];
    from_ = out_pipe[0];
}

AdapterClient::~AdapterClient() {
    if (child_ > 0) {
        kill(child_, SIGKILL);
        finish();
    }
}

int AdapterClient::send(const std::string& command, const Json& args) {
    Json m = {{"seq", ++seq_}, {"type", "request"}, {"command", command}, {"arguments", args}};
    std::string body = m.dump();
    std::string bytes = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    if (write(to_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        ADD_FAILURE() << "could not write " << command;
    return seq_;
}

bool AdapterClient::read_some(std::chrono::steady_clock::time_point end) {
    for (;;) {
        // A whole message in the buffer first.
        std::size_t header_end = buffer_.find("\r\n\r\n");
        if (header_end != std::string::npos) {
            std::size_t length = std::stoul(buffer_.substr(16, header_end - 16));
            if (buffer_.size() >= header_end + 4 + length) {
                messages.push_back(Json::parse(buffer_.substr(header_end + 4, length)));
                buffer_.erase(0, header_end + 4 + length);
                return true;
            }
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd p{from_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char chunk[65536];
        ssize_t n = read(from_, chunk, sizeof chunk);
        if (n <= 0) return false;
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

int AdapterClient::response_index(int seq, std::chrono::milliseconds limit) {
    return wait_for(
        [&](const Json& m) { return m["type"] == "response" && m["request_seq"] == seq; }, 0,
        limit);
}

const AdapterClient::Json& AdapterClient::request(const std::string& command, const Json& args) {
    static const Json none;
    int at = response_index(send(command, args));
    if (at < 0) {
        ADD_FAILURE() << "no response to " << command;
        return none;
    }
    bool runs = command == "continue" || command == "next" || command == "stepIn" ||
                command == "stepOut" || command == "configurationDone" || command == "restart" ||
                command == "evaluate";
    const Json& response = messages[static_cast<std::size_t>(at)];
    if (command == "evaluate")
        runs = response["success"].get<bool>() &&
               response["body"]["result"].get<std::string>().ends_with("the run goes on");
    if (runs && response["success"].get<bool>()) {
        int stop = wait_for(
            [](const Json& m) {
                return m["type"] == "event" &&
                       (m["event"] == "stopped" || m["event"] == "terminated");
            },
            static_cast<std::size_t>(at) + 1);
        if (stop < 0) ADD_FAILURE() << "no stop after " << command;
    }
    return messages[static_cast<std::size_t>(at)];
}

int AdapterClient::finish() {
    if (to_ >= 0) close(to_);
    to_ = -1;
    while (read_some(std::chrono::steady_clock::now() + std::chrono::seconds(10))) {
    }
    if (from_ >= 0) close(from_);
    from_ = -1;
    int status = 0;
    if (child_ > 0) waitpid(child_, &status, 0);
    child_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
