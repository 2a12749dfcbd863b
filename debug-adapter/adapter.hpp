// The debug adapter: one debugging session driven by Debug Adapter Protocol
// requests. handle() takes one message's JSON text and sends the response
// and any events through `send`; it never throws, and a malformed message
// gets an error response.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "session.hpp"

using Json = nlohmann::json;

class Adapter {
public:
    explicit Adapter(std::function<void(const Json&)> send);
    // One message's body. False once the client asked to disconnect.
    bool handle(const std::string& text);
    // A message the framing could not read: an error response.
    void handle_malformed(const std::string& problem) { reply(Json(), false, nullptr, problem); }
    // Set by whoever reads the input when a pause request arrives during a
    // run; the run polls it between stretches.
    volatile std::sig_atomic_t pause_requested = 0;

private:
    using Handler = void (Adapter::*)(const Json& args, Json& body);
    static const std::map<std::string, Handler>& handlers();

    void send_event(const std::string& event, const Json& body = Json::object());
    // An event that follows the current request's response.
    void queue_event(const std::string& event, const Json& body = Json::object());
    std::vector<Json> deferred_;
    void reply(const Json& request, bool success, const Json& body, const std::string& message);

    // ---- requests (run_control.cpp) ----
    void initialize(const Json& args, Json& body);
    void launch(const Json& args, Json& body);
    void set_breakpoints(const Json& args, Json& body);
    void set_function_breakpoints(const Json& args, Json& body);
    void data_breakpoint_info(const Json& args, Json& body);
    void set_data_breakpoints(const Json& args, Json& body);
    void set_exception_breakpoints(const Json& args, Json& body);
    void configuration_done(const Json& args, Json& body);
    void threads(const Json& args, Json& body);
    void continue_(const Json& args, Json& body);
    void next(const Json& args, Json& body);
    void step_in(const Json& args, Json& body);
    void step_out(const Json& args, Json& body);
    void step_back(const Json& args, Json& body);
    void reverse_continue(const Json& args, Json& body);
    void pause(const Json& args, Json& body);
    void restart(const Json& args, Json& body);
    void terminate(const Json& args, Json& body);
    void disconnect(const Json& args, Json& body);
    // Where a breakpoint request puts its mark (a second kind for reads
    // and writes), or the message why it cannot.
    struct Placed {
        MarkKind kind;
        std::uint16_t at;
        std::optional<MarkKind> also;
    };
    using Placer = std::function<std::variant<Placed, std::string>(const Json& wanted)>;
    void replace_marks(const Json& args, std::vector<int>& ids, const Placer& place, Json& body);
    // ---- the state as the editor shows it (variables.cpp) ----
    void stack_trace(const Json& args, Json& body);
    void scopes(const Json& args, Json& body);
    void variables(const Json& args, Json& body);
    void set_variable(const Json& args, Json& body);
    void read_memory(const Json& args, Json& body);
    void write_memory(const Json& args, Json& body);
    void disassemble(const Json& args, Json& body);
    void exception_info(const Json& args, Json& body);
    void evaluate(const Json& args, Json& body);

    // After a run or a move: a stopped event, or exited and terminated at
    // the end of the run. `end` says why the run ended; `moved_back` for
    // stepBack and reverseContinue.
    void report(RunEnd end, const std::string& reason_when_limit);
    void flush_output();
    void change_machine(const std::function<void(Machine&)>& change);
    void require_launched() const;
    std::string marks_to_breakpoints();
    int line_of(std::uint16_t address) const;

    std::function<void(const Json&)> send_;
    Session s_;
    bool launched_ = false;
    bool ended_ = false;  // exited and terminated sent
    bool stop_on_entry_ = false;
    bool disconnect_ = false;
    int seq_ = 1;
    std::vector<std::uint8_t> pending_output_;
    std::string last_description_;  // of the last stop, for exceptionInfo
    // Marks the client set, by kind, so that each set request replaces its own.
    std::vector<int> line_marks_, function_marks_, data_marks_;
    std::map<int, std::string> hit_conditions_;
    std::string source_path_;
};

// What a command prints on standard output while `f` runs, taken away from
// standard output (which carries the protocol).
std::string captured_output(const std::function<void()>& f);
// A request's failure: its message becomes the error response's.
struct RequestError {
    std::string message;
};
