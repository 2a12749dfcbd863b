#include "adapter.hpp"

#include <unistd.h>

#include <cstdio>

#include "command_print.hpp"
#include "machine/display.hpp"

std::string captured_output(const std::function<void()>& f) {
    std::fflush(stdout);
    FILE* file = std::tmpfile();
    int saved = file != nullptr ? dup(STDOUT_FILENO) : -1;
    if (saved < 0) {
        // Without a place to put it the text is dropped, never mixed in.
        if (file != nullptr) std::fclose(file);
        FILE* null = std::fopen("/dev/null", "w");
        int keep = dup(STDOUT_FILENO);
        if (null != nullptr && keep >= 0) dup2(fileno(null), STDOUT_FILENO);
        f();
        std::fflush(stdout);
        if (keep >= 0) dup2(keep, STDOUT_FILENO), close(keep);
        if (null != nullptr) std::fclose(null);
        return "";
    }
    dup2(fileno(file), STDOUT_FILENO);
    f();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string text;
    std::rewind(file);
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
    std::fclose(file);
    return text;
}

Adapter::Adapter(std::function<void(const Json&)> send) : send_(std::move(send)) {}

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
    };
    return table;
}

void Adapter::send_event(const std::string& event, const Json& body) {
    send_({{"seq", seq_++}, {"type", "event"}, {"event", event}, {"body", body}});
}

void Adapter::reply(const Json& request, bool success, const Json& body,
                    const std::string& message) {
    Json response = {{"seq", seq_++}, {"type", "response"}, {"success", success}};
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
    send_(response);
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
        reply(request, false, nullptr, "unknown request " + request["command"].get<std::string>());
        return true;
    }
    Json args = request.contains("arguments") ? request["arguments"] : Json::object();
    if (!args.is_object()) args = Json::object();
    Json body = nullptr;
    // The response goes before the events the request makes; a request
    // that runs queues its events in deferred_ and they follow it.
    deferred_.clear();
    try {
        (this->*found->second)(args, body);
        reply(request, true, body, "");
    } catch (const RequestError& e) {
        deferred_.clear();
        reply(request, false, nullptr, e.message);
    } catch (const Json::exception& e) {
        deferred_.clear();
        reply(request, false, nullptr, std::string("malformed arguments: ") + e.what());
    }
    for (Json& event : deferred_) {
        event["seq"] = seq_++;
        send_(event);
    }
    deferred_.clear();
    return !disconnect_;
}

void Adapter::require_launched() const {
    if (!launched_) throw RequestError{"no program launched"};
}

void Adapter::flush_output() {
    if (pending_output_.empty()) return;
    std::string text;
    for (std::uint8_t value : pending_output_) {
        char line[PORT0_TEXT_CAPACITY];
        format_port0(line, value);
        text += line;
        text += '\n';
    }
    pending_output_.clear();
    queue_event("output", {{"category", "stdout"}, {"output", text}});
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

void Adapter::report(RunEnd end, const std::string& reason_when_limit) {
    flush_output();
    std::string said = captured_output([&] { report_end(s_, end, false); });
    if (end == RunEnd::HALTED || end == RunEnd::STOPPED) {
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
        case RunEnd::FINDING: reason = "exception"; break;
        case RunEnd::INTERRUPTED: reason = "pause"; break;
        default: break;
    }
    std::string description = first_line(said);
    if (description.empty() || description.starts_with(" ")) description = reason;
    last_description_ = said;
    Json body = {{"reason", reason},
                 {"description", description},
                 {"threadId", 1},
                 {"allThreadsStopped", true},
                 {"text", said}};
    if (end == RunEnd::BREAKPOINT) body["hitBreakpointIds"] = {s_.run.hit().id};
    queue_event("stopped", body);
}
