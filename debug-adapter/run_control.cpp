// The adapter's requests that set up and move the run: launch, the
// breakpoints of every kind, the steps forward and back, the ends.
#include <algorithm>
#include <filesystem>
#include <variant>

#include "adapter.hpp"
#include "command_print.hpp"
#include "command_words.hpp"
#include "machine/condition.hpp"
#include "opcode_table.hpp"

namespace {

Json capabilities() {
    Json filters = Json::array();
    for (const FindingKindRow& row : FINDING_KINDS)
        filters.push_back(
            {{"filter", row.name}, {"label", row.title}, {"default", row.on_by_default}});
    return {{"supportsConfigurationDoneRequest", true}, {"supportsStepBack", true},
            {"supportsConditionalBreakpoints", true},   {"supportsHitConditionalBreakpoints", true},
            {"supportsFunctionBreakpoints", true},      {"supportsDataBreakpoints", true},
            {"exceptionBreakpointFilters", filters},    {"supportsReadMemoryRequest", true},
            {"supportsWriteMemoryRequest", true},       {"supportsDisassembleRequest", true},
            {"supportsExceptionInfoRequest", true},     {"supportsSetVariable", true},
            {"supportsEvaluateForHovers", true},        {"supportsRestartRequest", true},
            {"supportsTerminateRequest", true}};
}

// A hit condition: a whole number N stops from the Nth hit on.
std::uint64_t hits_to_ignore(const Json& breakpoint) {
    if (!breakpoint.contains("hitCondition")) return 0;
    std::optional<std::uint64_t> n = parse_number(breakpoint["hitCondition"].get<std::string>());
    if (!n || *n == 0) throw RequestError{"a hit condition is a whole number from 1"};
    return *n - 1;
}

// A breakpoint's condition in the debugger's form ("[n] == 3", "sp < 0x3FF0");
// nothing when it has none; the message when it does not parse.
std::variant<std::optional<Condition>, std::string> condition_of(const Session& s,
                                                                 const Json& breakpoint) {
    if (!breakpoint.contains("condition") || !breakpoint["condition"].is_string() ||
        breakpoint["condition"].get<std::string>().empty())
        return std::optional<Condition>{};
    auto parsed = parse_condition(
        breakpoint["condition"].get<std::string>(),
        [&](const std::string& loc, std::string& error) {
            return resolve_location(
                loc, MEMORY_SIZE - 1,
                [&](std::string_view name) { return find_label(s.program, name); }, error);
        });
    if (std::string* error = std::get_if<std::string>(&parsed)) return *error;
    return std::optional<Condition>{std::get<Condition>(parsed)};
}

}  // namespace

// Replaces the marks of one kind of breakpoint request (the client sends
// the whole list each time): each wanted breakpoint is placed by `place`
// (or refused with its message) and added with its condition and hit count.
// The answer lists them in order, unverified with the message when the
// place or the condition is refused.
void Adapter::replace_marks(const Json& args, std::vector<int>& ids, const Placer& place,
                            Json& body) {
    require_launched();
    for (int id : ids) s_.run.delete_mark(id);
    ids.clear();
    Json result = Json::array();
    for (const Json& wanted : args.value("breakpoints", Json::array())) {
        std::variant<Placed, std::string> placed = place(wanted);
        if (std::string* refused = std::get_if<std::string>(&placed)) {
            result.push_back({{"verified", false}, {"message", *refused}});
            continue;
        }
        const Placed& p = std::get<Placed>(placed);
        auto condition = condition_of(s_, wanted);
        if (std::string* error = std::get_if<std::string>(&condition)) {
            result.push_back({{"verified", false}, {"message", *error}});
            continue;
        }
        std::uint64_t ignore = hits_to_ignore(wanted);
        int first = 0;
        for (std::optional<MarkKind> k : {std::optional<MarkKind>{p.kind}, p.also}) {
            if (!k) continue;
            int id = s_.run.add_mark(*k, p.at, std::get<std::optional<Condition>>(condition));
            s_.run.find_mark(id)->ignore = ignore;
            ids.push_back(id);
            if (first == 0) first = id;
        }
        Json answer = {{"id", first}, {"verified", true}};
        if (p.kind == MarkKind::BREAK) answer["line"] = line_of(p.at);
        result.push_back(answer);
    }
    body = {{"breakpoints", result}};
}

void Adapter::initialize(const Json&, Json& body) { body = capabilities(); }

void Adapter::launch(const Json& args, Json& body) {
    (void)body;
    std::string program = args.at("program").get<std::string>();
    if (args.contains("cwd") && args["cwd"].is_string()) {
        std::error_code error;
        std::filesystem::path path(program);
        if (path.is_relative())
            program = (std::filesystem::path(args["cwd"].get<std::string>()) / path).string();
        (void)error;
    }
    s_.program = DebugProgram{};
    s_.run.clear_marks();
    line_marks_.clear();
    function_marks_.clear();
    data_marks_.clear();
    if (std::optional<std::string> refused = load_debug_program(program, s_.program))
        throw RequestError{*refused};
    start_session(s_);
    s_.run.interrupt = &pause_requested;
    s_.run.show_output = [this](std::vector<std::uint8_t>& values) {
        pending_output_.insert(pending_output_.end(), values.begin(), values.end());
        values.clear();
    };
    s_.run.set_shown(DEFAULT_FINDING_KINDS);
    source_path_ = std::filesystem::absolute(program).string();
    stop_on_entry_ = args.value("stopOnEntry", false);
    launched_ = true;
    ended_ = false;
    // Breakpoints need the program: the client is told it may send them
    // once the launch has loaded it.
    queue_event("initialized");
}

void Adapter::set_breakpoints(const Json& args, Json& body) {
    replace_marks(
        args, line_marks_,
        [this](const Json& wanted) -> std::variant<Placed, std::string> {
            std::optional<std::uint16_t> at =
                s_.program.has_source ? address_of_line(s_.program, wanted.at("line").get<int>())
                                      : std::nullopt;
            if (!at) return std::string("no code on or after this line");
            return Placed{MarkKind::BREAK, *at, std::nullopt};
        },
        body);
}

void Adapter::set_function_breakpoints(const Json& args, Json& body) {
    replace_marks(
        args, function_marks_,
        [this](const Json& wanted) -> std::variant<Placed, std::string> {
            std::optional<std::uint16_t> at =
                find_label(s_.program, wanted.at("name").get<std::string>());
            if (!at) return std::string("no such label");
            return Placed{MarkKind::BREAK, *at, std::nullopt};
        },
        body);
}

// A data breakpoint's ID is the address in decimal; the name is a label, a
// number or a label's variable name ("n", "n (word)").
void Adapter::data_breakpoint_info(const Json& args, Json& body) {
    require_launched();
    std::string name = args.at("name").get<std::string>();
    if (std::size_t space = name.find(' '); space != std::string::npos) name.resize(space);
    std::optional<std::uint16_t> at = find_label(s_.program, name);
    if (!at) {
        std::optional<std::uint64_t> n = parse_number(name);
        if (n && *n < MEMORY_SIZE) at = static_cast<std::uint16_t>(*n);
    }
    if (!at) {
        body = {{"dataId", nullptr}, {"description", "not a label or an address"}};
        return;
    }
    body = {{"dataId", std::to_string(*at)},
            {"description", "the byte at " + with_label(s_, *at)},
            {"accessTypes", {"write", "read", "readWrite"}},
            {"canPersist", false}};
}

void Adapter::set_data_breakpoints(const Json& args, Json& body) {
    replace_marks(
        args, data_marks_,
        [](const Json& wanted) -> std::variant<Placed, std::string> {
            std::optional<std::uint64_t> at = parse_number(wanted.at("dataId").get<std::string>());
            std::string access = wanted.value("accessType", "write");
            bool known = access == "write" || access == "read" || access == "readWrite";
            if (!at || *at >= MEMORY_SIZE || !known)
                return std::string("reads or writes of a byte");
            // readWrite is two marks: a watch and a read watch.
            if (access == "readWrite")
                return Placed{MarkKind::WATCH, static_cast<std::uint16_t>(*at), MarkKind::RWATCH};
            return Placed{access == "read" ? MarkKind::RWATCH : MarkKind::WATCH,
                          static_cast<std::uint16_t>(*at), std::nullopt};
        },
        body);
}

void Adapter::set_exception_breakpoints(const Json& args, Json& body) {
    (void)body;
    FindingKinds kinds = 0;
    for (const Json& name : args.at("filters")) {
        for (const FindingKindRow& row : FINDING_KINDS)
            if (name.get<std::string>() == row.name) kinds |= kind_bit(row.kind);
    }
    if (launched_) s_.run.set_shown(kinds);
}

void Adapter::configuration_done(const Json&, Json&) {
    require_launched();
    if (stop_on_entry_) {
        queue_event("stopped",
                    {{"reason", "entry"},
                     {"description", "at the start: " + with_label(s_, s_.run.machine().PC)},
                     {"threadId", 1},
                     {"allThreadsStopped", true}});
        return;
    }
    report(s_.run.run_forward(), "step");
}

void Adapter::threads(const Json&, Json& body) {
    body = {{"threads", {{{"id", 1}, {"name", "machine"}}}}};
}

// Forward moves refuse at the end of the run, where only going back helps.
static void require_running(const Session& s) {
    if (!can_go_on(s.run.standing()))
        throw RequestError{"the program has ended: step back or restart"};
}

void Adapter::continue_(const Json&, Json& body) {
    require_launched();
    require_running(s_);
    body = {{"allThreadsContinued", true}};
    report(s_.run.run_forward(), "step");
}

void Adapter::step_in(const Json&, Json&) {
    require_launched();
    require_running(s_);
    RunEnd end = s_.run.step_instruction();
    if (end == RunEnd::LIMIT) end = s_.run.check_after(false);
    report(end, "step");
}

// As the debugger's next: a call runs to its return.
void Adapter::next(const Json&, Json&) {
    require_launched();
    require_running(s_);
    std::uint8_t op = s_.run.machine().memory[s_.run.machine().PC];
    RunEnd end = s_.run.step_instruction();
    if (end == RunEnd::LIMIT && OpcodeTable[op].flow == Flow::CALL) {
        end = s_.run.check_after(true);
        if (end == RunEnd::LIMIT) {
            end = s_.run.run_to_return(1);
            if (end == RunEnd::RETURNED) {
                end = s_.run.findings().at(s_.run.step()).empty() ? RunEnd::LIMIT : RunEnd::FINDING;
            }
        }
    }
    if (end == RunEnd::LIMIT) end = s_.run.check_after(false);
    report(end, "step");
}

void Adapter::step_out(const Json&, Json&) {
    require_launched();
    require_running(s_);
    RunEnd end = s_.run.run_to_return(1);
    report(end == RunEnd::RETURNED ? RunEnd::LIMIT : end, "step");
}

void Adapter::step_back(const Json&, Json&) {
    require_launched();
    if (s_.run.step() == 0) throw RequestError{"at the start of the run"};
    s_.run.go_to(s_.run.step() - 1);
    report(RunEnd::LIMIT, "step");
}

void Adapter::reverse_continue(const Json&, Json&) {
    require_launched();
    std::optional<std::uint64_t> target = s_.run.last_break_before();
    s_.run.go_to(target.value_or(0));
    if (!target) {
        report(RunEnd::LIMIT, "entry");
        return;
    }
    // Where it went back to is the stop that a run forward would make, and
    // says so as that stop did.
    const Mark* mark = s_.run.find_mark(s_.run.hit().id);
    RunEnd end = RunEnd::FINDING;
    if (mark != nullptr)
        end = mark->kind == MarkKind::WATCH || mark->kind == MarkKind::RWATCH ? RunEnd::WATCHPOINT
                                                                              : RunEnd::BREAKPOINT;
    report(end, "step");
}

void Adapter::pause(const Json&, Json&) {
    // A pause that arrives between runs has nothing to stop.
}

void Adapter::restart(const Json& args, Json& body) {
    require_launched();
    (void)args;
    (void)body;
    ::restart(s_);
    ended_ = false;
    pending_output_.clear();
    configuration_done(Json::object(), body);
}

void Adapter::terminate(const Json&, Json&) {
    if (!ended_) {
        queue_event("terminated");
        ended_ = true;
    }
}

void Adapter::disconnect(const Json&, Json&) { disconnect_ = true; }
