// A client that drives the debug adapter as an editor does: one request at
// a time over pipes, reading the messages as they come, waiting for a run's
// stop before the next request where an editor would.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class AdapterClient {
public:
    using Json = nlohmann::json;
    AdapterClient(const std::string& program, const std::string& directory);
    ~AdapterClient();
    AdapterClient(const AdapterClient&) = delete;
    AdapterClient& operator=(const AdapterClient&) = delete;

    // Sends a request; returns its seq.
    int send(const std::string& command, const Json& args = Json::object());
    // Sends a request and waits for its response; requests that run the
    // program (continue, next, stepIn, stepOut, configurationDone, restart
    // and `key`) also wait for the stopped or terminated event that follows.
    const Json& request(const std::string& command, const Json& args = Json::object());
    // Reads until a message satisfies `wanted` among those after `from`, or
    // the time runs out (a failure). Returns its index, or -1.
    template <typename F>
    int wait_for(F wanted, std::size_t from = 0,
                 std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        auto end = std::chrono::steady_clock::now() + limit;
        for (std::size_t i = from;; ++i) {
            while (i >= messages.size())
                if (!read_some(end)) return -1;
            if (wanted(messages[i])) return static_cast<int>(i);
        }
    }
    int response_index(int seq, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Closes standard input and waits for the exit status.
    int finish();

    std::vector<Json> messages;

private:
    bool read_some(std::chrono::steady_clock::time_point end);
    pid_t child_ = -1;
    int to_ = -1, from_ = -1;
    int seq_ = 0;
    std::string buffer_;
};
