// The protocol's message layer: one JSON-RPC message in, the messages to
// send back out (responses and diagnostics). It holds the open documents
// and the lifecycle state; nothing here reads or writes a file descriptor.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "features.hpp"
#include "source_model.hpp"

class Server {
public:
    // The bodies to send for one message body, in order. Never throws.
    std::vector<std::string> handle(std::string_view body);
    // The answer to bytes the message reader could not frame.
    std::vector<std::string> malformed(const std::string& problem) const;

    bool exit_requested() const { return exit_requested_; }
    // 0 after shutdown, 1 otherwise.
    int exit_status() const { return shut_down_ ? 0 : 1; }

private:
    std::vector<std::string> handle_message(std::string_view body);
    Json dispatch(const std::string& method, const Json& params, std::vector<std::string>& out);
    void notify(const std::string& method, const Json& params, std::vector<std::string>& out);
    void publish(const std::string& uri, std::vector<std::string>& out) const;
    const SourceModel& document(const Json& params) const;

    bool initialized_ = false;
    bool shut_down_ = false;
    bool exit_requested_ = false;
    Encoding encoding_;
    HintOptions hint_options_;
    std::map<std::string, std::unique_ptr<SourceModel>> documents_;
    std::map<std::string, Json> versions_;  // each open document's version, as the client gave it
};
