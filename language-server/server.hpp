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

// An open document past this is refused with a diagnostic, as is one that
// would take the open documents together past the total: the analysis holds
// tens of times a document's size.
constexpr std::size_t DOCUMENT_LIMIT = std::size_t{2} << 20;
constexpr std::size_t OPEN_DOCUMENTS_LIMIT = std::size_t{8} << 20;

class Server {
public:
    // The limits are the constants but for tests and fuzzing, which reach
    // them with small inputs.
    explicit Server(std::size_t document_limit = DOCUMENT_LIMIT,
                    std::size_t open_documents_limit = OPEN_DOCUMENTS_LIMIT)
        : document_limit_(document_limit), open_documents_limit_(open_documents_limit) {}

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
    // Keeps text as uri's document when it is within both limits; else
    // drops the document, notes it refused and publishes why.
    void take_document(const std::string& uri, std::string text, std::vector<std::string>& out);

    std::size_t document_limit_;
    std::size_t open_documents_limit_;
    bool initialized_ = false;
    bool shut_down_ = false;
    bool exit_requested_ = false;
    Encoding encoding_;
    HintOptions hint_options_;
    std::map<std::string, std::unique_ptr<SourceModel>> documents_;
    std::map<std::string, Json> versions_;  // each open document's version, as the client gave it
    std::map<std::string, std::string> refused_;  // open documents past a limit, and why
};
