// The debug adapter: one debugging session driven by Debug Adapter Protocol
// requests. handle() takes one message's JSON text and sends the response
// and any events through `send`; it never throws, and a malformed message
// gets an error response.
#pragma once

#include <atomic>
#include <csignal>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "session.hpp"

using Json = nlohmann::json;

// How a breakpoint's hit count decides whether a hit stops the run: from
// the Nth hit on (N, >=N; >N is from N+1), only the Nth (==N) or every Nth (%N).
struct HitRule {
    enum Mode : std::uint8_t { FROM, ONLY, EVERY } mode = FROM;
    std::uint64_t n = 1;
};
// The rule of "N", ">N", ">=N", "==N" or "%N", or the message why it is none.
std::variant<HitRule, std::string> parse_hit_rule(const std::string& text);

class Adapter {
public:
    // With `run_ended`, a run goes on a worker thread and run_ended is called
    // from it when the run ends (the owner then calls finish_run on its own
    // thread); without, every run is done before handle returns.
    explicit Adapter(std::function<void(const Json&)> send,
                     std::function<void()> run_ended = nullptr);
    ~Adapter();
    Adapter(const Adapter&) = delete;
    Adapter& operator=(const Adapter&) = delete;
    // One message's body. False once the client asked to disconnect.
    bool handle(const std::string& text);
    // The worker's run ended: its stop is reported (or the run goes on).
    void finish_run();
    // The end of the session: a run still going is stopped.
    void shut_down() {
        if (running()) stop_worker();
    }
    // A message the framing could not read: an error response.
    void handle_malformed(const std::string& problem) { reply(Json(), false, nullptr, problem); }
    // Set by whoever reads the input when a pause request arrives during a
    // run; the run polls it between stretches.
    volatile std::sig_atomic_t pause_requested = 0;

private:
    using Handler = void (Adapter::*)(const Json& args, Json& body);
    static const std::map<std::string, Handler>& handlers();

    void send_event(const std::string& event, const Json& body = Json::object());
    // Numbers and writes one message; the worker's output events and the
    // main thread's answers share it.
    void emit(Json message);
    std::mutex send_mutex_;
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
    void set_instruction_breakpoints(const Json& args, Json& body);
    // The launch's arguments, kept for restart.
    struct LaunchSettings {
        std::string program, cwd, keys;
        bool stop_on_entry = false, no_debug = false;
    };
    static LaunchSettings launch_settings(const Json& args);
    void use_settings(const LaunchSettings& l);
    Json launch_args_;

    // ---- runs ----
    // A motion runs after its request's response: inline, or on the worker
    // while requests go on being answered. `resumable` motions (continue)
    // may be interrupted for a breakpoint change and taken up again.
    struct Motion {
        std::function<RunEnd()> run;
        std::string reason;  // of the stopped event when the run did what was asked
        bool resumable = false;
    };
    void begin_motion(Motion motion);
    void start_worker();
    // Stops the worker's run (at its next test of the interrupt) and waits
    // for it; returns how it ended.
    RunEnd stop_worker();
    // Runs on past the key waits the launch's keys answer (the run itself
    // logs its logpoints and goes on).
    RunEnd run_on(const std::function<RunEnd()>& run);
    bool running() const { return worker_.joinable(); }
    std::function<void()> run_ended_;
    std::optional<Motion> pending_motion_;
    Motion current_motion_;
    std::thread worker_;
    std::atomic<bool> worker_done_{false};
    RunEnd worker_end_ = RunEnd::LIMIT;
    bool pause_wanted_ = false;
    bool worker_output_ = false;  // the worker sends output as it comes
    // Where a breakpoint request puts its mark (a second kind for reads
    // and writes), or the message why it cannot.
    struct Placed {
        MarkKind kind;
        std::uint16_t at;
        std::optional<MarkKind> also;
        std::uint8_t width = 1;  // a data breakpoint on a word: 2
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
    // The text the session's commands write (s_.out points here): standard
    // output carries the protocol.
    std::ostringstream said_;
    std::string take_said();
    bool launched_ = false;
    bool ended_ = false;  // exited and terminated sent
    bool stop_on_entry_ = false;
    bool disconnect_ = false;
    int seq_ = 1;
    std::vector<std::uint8_t> pending_output_;
    std::string last_description_;  // of the last stop, for exceptionInfo
    // Marks the client set, by kind, so that each set request replaces its own.
    std::vector<int> line_marks_, function_marks_, data_marks_;
    std::vector<int> instruction_marks_;
    std::map<int, std::string> log_messages_;  // logpoints, by mark
    // setBreakpoints requests before the launch, by source path: those of
    // the program are placed when it is loaded.
    std::map<std::string, Json> early_breakpoints_;
    // The IDs the client knows its breakpoints by: every answered breakpoint
    // gets one (those refused too, so that a later breakpoint event can
    // change them); a mark's is in breakpoint_of_mark_. given_ids_ are used
    // first: the IDs the early breakpoints were answered with.
    int next_breakpoint_id_ = 1;
    std::deque<int> given_ids_;
    std::map<std::string, std::vector<int>> early_ids_;
    std::map<int, int> breakpoint_of_mark_;
    int new_breakpoint_id();
    bool no_debug_ = false;
    std::optional<FindingKinds> shown_kinds_;  // the exception filters, once set
    std::deque<std::string> keys_;             // the launch's keys, given at the waits in turn
    std::string source_path_;
    // An object code file's instructions as the disassembler gives them, by
    // address (empty for a source).
    std::map<std::uint16_t, std::string> listing_;
    void disassemble_program();
    // Whether `path` names the program's source (compared as files).
    bool is_program_source(const std::string& path) const;
    // A watch or hover expression in the debugger's location syntax: the
    // text and the address shown, or the message why it is none.
    std::variant<std::pair<std::string, std::optional<std::uint16_t>>, std::string>
    evaluate_location(const std::string& expression) const;
    void log_point(int id);
};

// A request's failure: its message becomes the error response's.
struct RequestError {
    std::string message;
};
