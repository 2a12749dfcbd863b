#include "adapter.hpp"

#include <cstdio>

#include "command_print.hpp"
#include "command_words.hpp"
#include "machine/display.hpp"

Adapter::Adapter(std::function<void(const Json&)> send, std::function<void()> run_ended)
    : run_ended_(std::move(run_ended)), send_(std::move(send)) {
    s_.out = &said_;
}

std::string Adapter::take_said() {
    std::string text = said_.str();
    said_.str("");
    return text;
}

Adapter::~Adapter() {
    if (running()) stop_worker();
}

const std::map<std::string, Adapter::Handler>& Adapter::handlers() {
    static const std::map<std::string, Handler> table = {
        {"initialize", &Adapter::initialize},
        {"launch", &Adapter::launch},
        {"setBreakpoints", &Adapter::set_breakpoints},
        {"setFunctionBreakpoints", &Adapter::set_function_breakpoints},
        {"dataBreakpointInfo", &Adapter::data_breakpoint_info},
        {"setDataBreakpoints", &Adapter::set_data_breakpoints},
        {"setExceptionBreakpoints", &Adapter::set_exception_breakpoints},
        {"configurationDone", &Adapter::configuration_done},
        {"threads", &Adapter::threads},
        {"continue", &Adapter::continue_},
        {"next", &Adapter::next},
        {"stepIn", &Adapter::step_in},
        {"stepOut", &Adapter::step_out},
        {"stepBack", &Adapter::step_back},
        {"reverseContinue", &Adapter::reverse_continue},
        {"pause", &Adapter::pause},
        {"restart", &Adapter::restart},
        {"terminate", &Adapter::terminate},
        {"disconnect", &Adapter::disconnect},
        {"stackTrace", &Adapter::stack_trace},
        {"scopes", &Adapter::scopes},
        {"variables", &Adapter::variables},
        {"setVariable", &Adapter::set_variable},
        {"readMemory", &Adapter::read_memory},
        {"writeMemory", &Adapter::write_memory},
        {"disassemble", &Adapter::disassemble},
        {"exceptionInfo", &Adapter::exception_info},
        {"evaluate", &Adapter::evaluate},
        {"setInstructionBreakpoints", &Adapter::set_instruction_breakpoints},
    };
    return table;
}

void Adapter::emit(Json message) {
    std::lock_guard lock(send_mutex_);
    message["seq"] = seq_++;
    send_(message);
}

void Adapter::send_event(const std::string& event, const Json& body) {
    emit({{"seq", 0}, {"type", "event"}, {"event", event}, {"body", body}});
}

void Adapter::reply(const Json& request, bool success, const Json& body,
                    const std::string& message) {
    Json response = {{"seq", 0}, {"type", "response"}, {"success", success}};
    const Json* seq = request.is_object() && request.contains("seq") ? &request["seq"] : nullptr;
    response["request_seq"] = seq != nullptr && seq->is_number_integer() ? *seq : Json(0);
    const Json* command =
        request.is_object() && request.contains("command") ? &request["command"] : nullptr;
    response["command"] = command != nullptr && command->is_string() ? *command : Json("");
    if (!success) {
        response["message"] = message;
        response["body"] = {{"error", {{"id", 1}, {"format", message}, {"showUser", false}}}};
    } else if (!body.is_null()) {
        response["body"] = body;
    }
    emit(std::move(response));
}

namespace {

// What a request may do while the program runs: answered as at any time,
// answered by stopping the run for it and taking the run up again, or
// refused.
enum class WhileRunning { ANSWER, BETWEEN, REFUSE };

WhileRunning while_running(const std::string& command) {
    if (command == "threads" || command == "pause" || command == "initialize")
        return WhileRunning::ANSWER;
    if (command == "setBreakpoints" || command == "setFunctionBreakpoints" ||
        command == "setDataBreakpoints" || command == "setExceptionBreakpoints" ||
        command == "setInstructionBreakpoints" || command == "dataBreakpointInfo" ||
        command == "disconnect" || command == "terminate" || command == "restart")
        return WhileRunning::BETWEEN;
    return WhileRunning::REFUSE;
}

}  // namespace

void Adapter::begin_motion(Motion motion) { pending_motion_ = std::move(motion); }

RunEnd Adapter::run_on(const std::function<RunEnd()>& run) {
    for (;;) {
        RunEnd end = run();
        if (end == RunEnd::KEY_WAIT && !keys_.empty()) {
            keys_.pop_front();
            s_.run.key_came();
            continue;
        }
        return end;
    }
}

void Adapter::start_worker() {
    worker_done_ = false;
    worker_output_ = true;
    worker_ = std::thread([this] {
        worker_end_ = run_on(current_motion_.run);
        worker_done_ = true;
        run_ended_();
    });
}

RunEnd Adapter::stop_worker() {
    pause_requested = 1;
    worker_.join();
    worker_output_ = false;
    pause_requested = 0;
    return worker_end_;
}

void Adapter::finish_run() {
    if (!running() || !worker_done_) return;  // already taken by stop_worker
    worker_.join();
    worker_output_ = false;
    deferred_.clear();
    RunEnd end = worker_end_;
    if (end == RunEnd::INTERRUPTED && !pause_wanted_) {
        // Interrupted by a pause that was then answered otherwise: go on.
        start_worker();
        return;
    }
    // A console command words its own end: a pause is named as such.
    report(end, pause_wanted_ ? "pause" : current_motion_.reason);
    pause_wanted_ = false;
    for (Json& event : deferred_) emit(std::move(event));
    deferred_.clear();
}

bool Adapter::handle(const std::string& text) {
    Json request = Json::parse(text, nullptr, false);
    if (request.is_discarded()) {
        reply(Json(), false, nullptr, "the message is not JSON");
        return true;
    }
    if (!request.is_object() || !request.contains("command") || !request["command"].is_string()) {
        reply(request, false, nullptr, "the message is not a request with a command");
        return true;
    }
    if (request.value("type", Json("request")) != "request") return true;
    auto found = handlers().find(request["command"].get<std::string>());
    if (found == handlers().end()) {
        reply(request, false, nullptr,
              "unknown request " + quoted_word(request["command"].get<std::string>()));
        return true;
    }
    Json args = request.contains("arguments") ? request["arguments"] : Json::object();
    if (!args.is_object()) args = Json::object();
    // While the worker runs, the session is its own: a request waits for
    // nothing, and one that needs the session stops the run for it.
    std::optional<RunEnd> interrupted;
    if (running()) {
        WhileRunning allowed = while_running(found->first);
        if (allowed == WhileRunning::REFUSE) {
            reply(request, false, nullptr, "the program is running: pause it first");
            return true;
        }
        if (allowed == WhileRunning::BETWEEN) interrupted = stop_worker();
    }
    Json body = nullptr;
    // The response goes before the events the request makes; a request
    // that runs queues its events in deferred_ and they follow it.
    deferred_.clear();
    pending_motion_.reset();
    try {
        (this->*found->second)(args, body);
        reply(request, true, body, "");
    } catch (const RequestError& e) {
        deferred_.clear();
        pending_motion_.reset();
        reply(request, false, nullptr, e.message);
    } catch (const Json::exception& e) {
        deferred_.clear();
        pending_motion_.reset();
        reply(request, false, nullptr, std::string("malformed arguments: ") + e.what());
    }
    for (Json& event : deferred_) emit(std::move(event));
    deferred_.clear();
    if (interrupted && !disconnect_ && !ended_ && !pending_motion_) {
        // The run stopped for this request: it goes on, unless it had
        // ended on its own meanwhile, which is reported now.
        if (*interrupted == RunEnd::INTERRUPTED && current_motion_.resumable) {
            current_motion_.run = [this] { return s_.run.move({::Motion::CONTINUE, 0}).end; };
            start_worker();
        } else {
            report(*interrupted == RunEnd::INTERRUPTED ? RunEnd::INTERRUPTED : *interrupted,
                   current_motion_.reason);
            for (Json& event : deferred_) emit(std::move(event));
            deferred_.clear();
        }
    }
    if (pending_motion_) {
        current_motion_ = std::move(*pending_motion_);
        pending_motion_.reset();
        if (run_ended_) {
            start_worker();
        } else {
            deferred_.clear();
            report(run_on(current_motion_.run), current_motion_.reason);
            for (Json& event : deferred_) emit(std::move(event));
            deferred_.clear();
        }
    }
    return !disconnect_;
}

void Adapter::require_launched() const {
    if (!launched_) throw RequestError{"no program launched"};
}

void Adapter::flush_output() {
    std::lock_guard lock(send_mutex_);
    if (pending_output_.empty()) return;
    std::string text;
    for (std::uint8_t value : pending_output_) {
        char line[PORT0_TEXT_CAPACITY];
        format_port0(line, value);
        text += line;
        text += '\n';
    }
    pending_output_.clear();
    Json event = {{"seq", 0},
                  {"type", "event"},
                  {"event", "output"},
                  {"body", {{"category", "stdout"}, {"output", text}}}};
    if (worker_output_) {
        event["seq"] = seq_++;
        send_(event);
    } else {
        deferred_.push_back(event);
    }
}

void Adapter::queue_event(const std::string& event, const Json& body) {
    deferred_.push_back({{"seq", 0}, {"type", "event"}, {"event", event}, {"body", body}});
}

int Adapter::line_of(std::uint16_t address) const {
    return s_.program.has_source ? s_.program.line_of_address[address] : 0;
}

// The first line of what the debugger prints for the end of a run.
static std::string first_line(const std::string& text) {
    std::size_t end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end);
}

// The stop's text on one line: "Stack underflow (PC = 00004 [0004], ...)".
static std::string stop_summary(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        std::size_t from = line.find_first_not_of(' ');
        if (from != std::string::npos && line.substr(from) != "ERROR")
            lines.push_back(line.substr(from));
        at = end + 1;
    }
    if (lines.empty()) return "stopped";
    std::string summary = lines[0];
    for (std::size_t i = 1; i < lines.size(); ++i) summary += (i == 1 ? " (" : ", ") + lines[i];
    return lines.size() > 1 ? summary + ")" : summary;
}

void Adapter::report(RunEnd end, const std::string& reason_when_limit) {
    flush_output();
    report_end(s_, end, false);
    std::string said = take_said();
    // A machine stop is a stop the user can step back from, unless the
    // program runs without debugging; the session ends at hlt.
    if (end == RunEnd::HALTED || (end == RunEnd::STOPPED && no_debug_)) {
        if (ended_) return;  // told once
        int code = end == RunEnd::HALTED ? 0 : 255;
        if (end == RunEnd::STOPPED)
            queue_event("output", {{"category", "stderr"},
                                   {"output", stop_message(s_.run.stop()) +
                                                  stop_position_line(s_.run.stop())}});
        else
            queue_event("output", {{"category", "console"}, {"output", first_line(said) + "\n"}});
        queue_event("exited", {{"exitCode", code}});
        queue_event("terminated");
        ended_ = true;
        return;
    }
    std::string reason = reason_when_limit;
    switch (end) {
        case RunEnd::BREAKPOINT: reason = "breakpoint"; break;
        case RunEnd::WATCHPOINT: reason = "data breakpoint"; break;
        case RunEnd::FINDING:
        case RunEnd::STOPPED: reason = "exception"; break;
        case RunEnd::INTERRUPTED: reason = "pause"; break;
        case RunEnd::KEY_WAIT: reason = "key wait"; break;
        default: break;
    }
    std::string description = first_line(said);
    if (end == RunEnd::STOPPED) {
        said = stop_message(s_.run.stop()) + stop_position_line(s_.run.stop());
        description = stop_summary(said);
        queue_event("output", {{"category", "stderr"}, {"output", said}});
    }
    if (end == RunEnd::KEY_WAIT) {
        description = "in 1 waits for a key: type key X in the debug console";
        said = description + "\n";
    }
    if (description.empty() || description.starts_with(" ")) description = reason;
    last_description_ = said;
    Json body = {{"reason", reason},
                 {"description", description},
                 {"threadId", 1},
                 {"allThreadsStopped", true},
                 {"text", said}};
    if (end == RunEnd::BREAKPOINT) {
        auto shown = breakpoint_of_mark_.find(s_.run.hit().id);
        if (shown != breakpoint_of_mark_.end()) body["hitBreakpointIds"] = {shown->second};
    }
    queue_event("stopped", body);
}
