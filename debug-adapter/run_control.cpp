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
    return {{"supportsConfigurationDoneRequest", true},
            {"supportsStepBack", true},
            {"supportsConditionalBreakpoints", true},
            {"supportsHitConditionalBreakpoints", true},
            {"supportsFunctionBreakpoints", true},
            {"supportsDataBreakpoints", true},
            {"exceptionBreakpointFilters", filters},
            {"supportsReadMemoryRequest", true},
            {"supportsWriteMemoryRequest", true},
            {"supportsDisassembleRequest", true},
            {"supportsExceptionInfoRequest", true},
            {"supportsSetVariable", true},
            {"supportsEvaluateForHovers", true},
            {"supportsRestartRequest", true},
            {"supportsTerminateRequest", true},
            {"supportsInstructionBreakpoints", true},
            {"supportsLogPoints", true}};
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

// An argument of a given JSON type, or the message naming it.
template <typename T>
T argument(const Json& args, const char* name, T otherwise) {
    if (!args.contains(name) || args[name].is_null()) return otherwise;
    const Json& value = args[name];
    bool fits = std::is_same_v<T, bool> ? value.is_boolean() : value.is_string();
    if (!fits)
        throw RequestError{std::string("launch: '") + name + "' must be " +
                           (std::is_same_v<T, bool> ? "true or false" : "a string")};
    return value.get<T>();
}

}  // namespace

std::variant<HitRule, std::string> parse_hit_rule(const std::string& text) {
    std::string_view rest = text;
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
    HitRule rule;
    std::uint64_t add = 0;
    for (auto [prefix, mode, plus] : {std::tuple{">=", HitRule::FROM, 0},
                                      {"==", HitRule::ONLY, 0},
                                      {">", HitRule::FROM, 1},
                                      {"%", HitRule::EVERY, 0}}) {
        if (rest.starts_with(prefix)) {
            rest.remove_prefix(std::string_view(prefix).size());
            rule.mode = mode;
            add = static_cast<std::uint64_t>(plus);
            break;
        }
    }
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    std::optional<std::uint64_t> n = parse_number(std::string(rest));
    if (!n || (*n == 0 && add == 0))
        return "hit condition '" + quoted_word(text) +
               "' is not N, >N, >=N, ==N or %N with N a whole number" + (n ? " from 1" : "");
    rule.n = *n + add;
    return rule;
}

int Adapter::new_breakpoint_id() {
    if (given_ids_.empty()) return next_breakpoint_id_++;
    int id = given_ids_.front();
    given_ids_.pop_front();
    return id;
}

bool Adapter::is_program_source(const std::string& path) const {
    if (source_path_.empty() || path.empty()) return false;
    std::error_code error;
    if (std::filesystem::equivalent(path, source_path_, error)) return true;
    return std::filesystem::weakly_canonical(path, error) == source_path_;
}

// Replaces the marks of one kind of breakpoint request (the client sends
// the whole list each time): each wanted breakpoint is placed by `place`
// (or refused with its message) and added with its condition and hit count.
// The answer lists them in order, unverified with the message when the
// place or the condition is refused.
void Adapter::replace_marks(const Json& args, std::vector<int>& ids, const Placer& place,
                            Json& body) {
    require_launched();
    for (int id : ids) {
        s_.run.delete_mark(id);
        breakpoint_of_mark_.erase(id);
        log_messages_.erase(id);
    }
    ids.clear();
    Json result = Json::array();
    for (const Json& wanted : args.value("breakpoints", Json::array())) {
        int shown = new_breakpoint_id();
        auto refuse = [&](const std::string& message) {
            result.push_back({{"id", shown}, {"verified", false}, {"message", message}});
        };
        if (no_debug_) {
            refuse("running without debugging");
            continue;
        }
        std::variant<Placed, std::string> placed = place(wanted);
        if (std::string* refused = std::get_if<std::string>(&placed)) {
            refuse(*refused);
            continue;
        }
        const Placed& p = std::get<Placed>(placed);
        auto condition = condition_of(s_, wanted);
        if (std::string* error = std::get_if<std::string>(&condition)) {
            refuse(*error);
            continue;
        }
        std::optional<HitRule> rule;
        if (wanted.contains("hitCondition") && !wanted["hitCondition"].is_null()) {
            auto parsed = parse_hit_rule(wanted["hitCondition"].get<std::string>());
            if (std::string* error = std::get_if<std::string>(&parsed)) {
                refuse(*error);
                continue;
            }
            rule = std::get<HitRule>(parsed);
        }
        std::string log;
        if (wanted.contains("logMessage") && wanted["logMessage"].is_string())
            log = wanted["logMessage"].get<std::string>();
        // A watch covers a word by its width; a read watch of a word is one
        // mark on each byte.
        std::vector<std::pair<MarkKind, std::uint16_t>> marks{{p.kind, p.at}};
        if (p.also) marks.emplace_back(*p.also, p.at);
        for (std::size_t i = 0, n = marks.size(); i < n && p.width == 2; ++i)
            if (marks[i].first == MarkKind::RWATCH)
                marks.emplace_back(MarkKind::RWATCH, static_cast<std::uint16_t>(p.at + 1));
        for (auto [kind, at] : marks) {
            unsigned width = kind == MarkKind::WATCH ? p.width : 1;
            int id =
                s_.run.add_mark(kind, at, std::get<std::optional<Condition>>(condition), width);
            // The mark itself counts its hits, forward and back.
            if (rule) {
                Mark* mark = s_.run.find_mark(id);
                mark->ignore = rule->n - 1;
                mark->every = rule->mode == HitRule::EVERY ? rule->n : 1;
                mark->once = rule->mode == HitRule::ONLY;
            }
            if (!log.empty()) {
                s_.run.find_mark(id)->logs = true;
                log_messages_[id] = log;
            }
            breakpoint_of_mark_[id] = shown;
            ids.push_back(id);
        }
        Json answer = {{"id", shown}, {"verified", true}};
        if (p.kind == MarkKind::BREAK) answer["line"] = line_of(p.at);
        result.push_back(answer);
    }
    body = {{"breakpoints", result}};
}

void Adapter::initialize(const Json&, Json& body) { body = capabilities(); }

Adapter::LaunchSettings Adapter::launch_settings(const Json& args) {
    if (!args.contains("program")) throw RequestError{"launch: 'program' is missing"};
    LaunchSettings l;
    l.program = argument<std::string>(args, "program", "");
    l.cwd = argument<std::string>(args, "cwd", "");
    l.stop_on_entry = argument<bool>(args, "stopOnEntry", false);
    l.no_debug = argument<bool>(args, "noDebug", false);
    l.keys = argument<std::string>(args, "keys", "");
    return l;
}

// What the launch asks of the run (and restart asks again).
void Adapter::use_settings(const LaunchSettings& l) {
    no_debug_ = l.no_debug;
    stop_on_entry_ = l.stop_on_entry && !no_debug_;
    // The exception filters the editor chose stay through a restart.
    s_.run.set_shown(no_debug_ ? 0 : shown_kinds_.value_or(DEFAULT_FINDING_KINDS));
    // In the adapter `in 1` waits for a key (the launch's, or one from the
    // debug console); running without debugging it takes none.
    s_.run.waits_for_keys = !no_debug_;
    keys_.clear();
    for (char c : l.keys) keys_.emplace_back(1, c);
}

void Adapter::launch(const Json& args, Json& body) {
    (void)body;
    LaunchSettings settings = launch_settings(args);
    std::error_code error;
    if (!settings.cwd.empty() && !std::filesystem::is_directory(settings.cwd, error))
        throw RequestError{"launch: cwd '" + quoted_word(settings.cwd) + "' is not a folder"};
    std::string program = settings.program;
    if (!settings.cwd.empty() && std::filesystem::path(program).is_relative())
        program = (std::filesystem::path(settings.cwd) / program).string();
    s_.program = DebugProgram{};
    s_.run.clear_marks();
    breakpoint_of_mark_.clear();
    line_marks_.clear();
    function_marks_.clear();
    data_marks_.clear();
    instruction_marks_.clear();
    log_messages_.clear();
    if (std::optional<std::string> refused = load_debug_program(program, s_.program)) {
        std::string reason = *refused;
        std::size_t from = reason.find_first_not_of(" \n");
        reason = from == std::string::npos ? "" : reason.substr(from);
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' '))
            reason.pop_back();
        throw RequestError{"cannot debug " + quoted_word(program) + ": " + reason};
    }
    listing_.clear();
    if (!s_.program.has_source) disassemble_program();
    start_session(s_);
    s_.run.interrupt = &pause_requested;
    s_.run.show_output = [this](std::vector<std::uint8_t>& values) {
        {
            std::lock_guard lock(send_mutex_);
            pending_output_.insert(pending_output_.end(), values.begin(), values.end());
        }
        values.clear();
        if (worker_output_) flush_output();
    };
    s_.run.on_log = [this](const Mark& mark) { log_point(mark.id); };
    use_settings(settings);
    launch_args_ = args;
    source_path_ = std::filesystem::weakly_canonical(std::filesystem::absolute(program), error);
    if (error) source_path_ = std::filesystem::absolute(program).string();
    // The launch's folder becomes the adapter's: every file a console
    // command names (profile FILE) is found from there.
    if (!settings.cwd.empty()) std::filesystem::current_path(settings.cwd, error);
    launched_ = true;
    ended_ = false;
    // Breakpoints sent before the launch are placed (those of the program's
    // file) or refused now, each told by a breakpoint event under the ID it
    // was first answered with.
    for (const auto& [path, early] : early_breakpoints_) {
        Json placed;
        given_ids_.assign(early_ids_[path].begin(), early_ids_[path].end());
        set_breakpoints(early, placed);
        given_ids_.clear();
        for (const Json& b : placed["breakpoints"])
            queue_event("breakpoint", {{"reason", "changed"}, {"breakpoint", b}});
    }
    early_breakpoints_.clear();
    early_ids_.clear();
    // Breakpoints need the program: the client is told it may send them
    // once the launch has loaded it.
    queue_event("initialized");
}

// Breakpoints by line belong to the program's source: those of any other
// file are answered unverified and leave the program's alone.
void Adapter::set_breakpoints(const Json& args, Json& body) {
    std::string path;
    if (args.contains("source") && args["source"].is_object() && args["source"].contains("path"))
        path = args["source"]["path"].get<std::string>();
    const char* refusal = nullptr;
    if (!launched_) {
        early_breakpoints_[path] = args;
        early_ids_[path].clear();
        refusal = "placed when the program is launched";
    } else if (!s_.program.has_source) {
        refusal = "the program has no source: use an address (function or instruction breakpoint)";
    } else if (!is_program_source(path)) {
        refusal = "not the program being debugged";
    }
    if (refusal != nullptr) {
        Json result = Json::array();
        for (const Json& wanted : args.value("breakpoints", Json::array())) {
            Json answer = {{"id", new_breakpoint_id()}, {"verified", false}, {"message", refusal}};
            if (!launched_) early_ids_[path].push_back(answer["id"].get<int>());
            if (wanted.is_object() && wanted.contains("line")) answer["line"] = wanted["line"];
            result.push_back(answer);
        }
        body = {{"breakpoints", result}};
        return;
    }
    replace_marks(
        args, line_marks_,
        [this](const Json& wanted) -> std::variant<Placed, std::string> {
            std::optional<std::uint16_t> at =
                address_of_line(s_.program, wanted.at("line").get<int>());
            if (!at) return std::string("no code on or after this line");
            return Placed{MarkKind::BREAK, *at, std::nullopt};
        },
        body);
}

// A label, or an address (0x00A8, 168) where the program has no labels for it.
void Adapter::set_function_breakpoints(const Json& args, Json& body) {
    replace_marks(
        args, function_marks_,
        [this](const Json& wanted) -> std::variant<Placed, std::string> {
            std::string name = wanted.at("name").get<std::string>();
            std::optional<std::uint16_t> at = find_label(s_.program, name);
            if (!at) {
                std::optional<std::uint64_t> n = parse_number(name);
                if (n && *n < MEMORY_SIZE) at = static_cast<std::uint16_t>(*n);
            }
            if (!at) return std::string("no such label or address");
            if (std::string inside = inside_instruction_text(s_.program, *at, name);
                !inside.empty())
                return inside;
            return Placed{MarkKind::BREAK, *at, std::nullopt};
        },
        body);
}

// At instructionReference ("0x00A8") plus offset bytes.
void Adapter::set_instruction_breakpoints(const Json& args, Json& body) {
    replace_marks(
        args, instruction_marks_,
        [this](const Json& wanted) -> std::variant<Placed, std::string> {
            std::optional<std::uint64_t> at =
                parse_number(wanted.at("instructionReference").get<std::string>());
            long offset = wanted.value("offset", 0L);
            if (!at || static_cast<long>(*at) + offset < 0 ||
                static_cast<long>(*at) + offset >= MEMORY_SIZE)
                return std::string("not an address in memory");
            auto address = static_cast<std::uint16_t>(*at + offset);
            char written[8];
            std::snprintf(written, sizeof written, "0x%04X", address);
            if (std::string inside = inside_instruction_text(s_.program, address, written);
                !inside.empty())
                return inside;
            return Placed{MarkKind::BREAK, address, std::nullopt};
        },
        body);
}

// A data breakpoint's ID is the address in decimal, with "w" for a word; the
// name is a label, a number or a label's variable name ("n", "n (word)").
void Adapter::data_breakpoint_info(const Json& args, Json& body) {
    require_launched();
    std::string name = args.at("name").get<std::string>();
    bool word = name.ends_with(" (word)");
    if (std::size_t space = name.find(' '); space != std::string::npos) name.resize(space);
    std::optional<std::uint16_t> at = find_label(s_.program, name);
    if (!at) {
        std::optional<std::uint64_t> n = parse_number(name);
        if (n && *n < MEMORY_SIZE) at = static_cast<std::uint16_t>(*n);
    }
    if (!at || (word && *at + 1 >= MEMORY_SIZE)) {
        body = {{"dataId", nullptr}, {"description", "not a label or an address"}};
        return;
    }
    body = {
        {"dataId", std::to_string(*at) + (word ? "w" : "")},
        {"description", std::string(word ? "the word at " : "the byte at ") + with_label(s_, *at)},
        {"accessTypes", {"write", "read", "readWrite"}},
        {"canPersist", false}};
}

void Adapter::set_data_breakpoints(const Json& args, Json& body) {
    replace_marks(
        args, data_marks_,
        [](const Json& wanted) -> std::variant<Placed, std::string> {
            std::string id = wanted.at("dataId").get<std::string>();
            std::uint8_t width = id.ends_with("w") ? 2 : 1;
            if (width == 2) id.pop_back();
            std::optional<std::uint64_t> at = parse_number(id);
            std::string access = wanted.value("accessType", "write");
            bool known = access == "write" || access == "read" || access == "readWrite";
            if (!at || *at + width > MEMORY_SIZE || !known)
                return std::string("reads or writes of a byte or a word");
            auto address = static_cast<std::uint16_t>(*at);
            // readWrite is two marks: a watch and a read watch.
            if (access == "readWrite")
                return Placed{MarkKind::WATCH, address, MarkKind::RWATCH, width};
            return Placed{access == "read" ? MarkKind::RWATCH : MarkKind::WATCH, address,
                          std::nullopt, width};
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
    shown_kinds_ = kinds;
    if (launched_ && !no_debug_) s_.run.set_shown(kinds);
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
    begin_motion({[this] { return s_.run.move({::Motion::CONTINUE, 0}).end; }, "step", true});
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
    body = {{"allThreadsContinued", true}};
    // Continuing from a machine stop ends the session as the stop ends
    // the program.
    if (s_.run.standing() == RunEnd::STOPPED && !ended_) {
        queue_event("exited", {{"exitCode", 255}});
        queue_event("terminated");
        ended_ = true;
        return;
    }
    require_running(s_);
    begin_motion({[this] { return s_.run.move({::Motion::CONTINUE, 0}).end; }, "step", true});
}

void Adapter::step_in(const Json&, Json&) {
    require_launched();
    require_running(s_);
    begin_motion({[this] { return s_.run.move({::Motion::STEP}).end; }, "step"});
}

void Adapter::next(const Json&, Json&) {
    require_launched();
    require_running(s_);
    begin_motion({[this] { return s_.run.move({::Motion::NEXT}).end; }, "step"});
}

void Adapter::step_out(const Json&, Json&) {
    require_launched();
    require_running(s_);
    begin_motion({[this] {
                      RunEnd end = s_.run.move({::Motion::FINISH}).end;
                      return end == RunEnd::RETURNED ? RunEnd::LIMIT : end;
                  },
                  "step"});
}

void Adapter::step_back(const Json&, Json&) {
    require_launched();
    if (s_.run.move({::Motion::BACK}).refused) throw RequestError{"at the start of the run"};
    report(RunEnd::LIMIT, "step");
}

void Adapter::reverse_continue(const Json&, Json&) {
    require_launched();
    MotionReport back = s_.run.move({::Motion::BACK_CONTINUE});
    report(back.end, back.at_start ? "entry" : "step");
}

void Adapter::pause(const Json&, Json&) {
    // The run stops at its next test of the interrupt and its stopped event
    // follows this response; between runs there is nothing to stop.
    if (!running()) return;
    pause_wanted_ = true;
    pause_requested = 1;
}

// Restart runs the program again with the launch's settings (keys, stop on
// entry), or with those the client sends; the breakpoints stay.
void Adapter::restart(const Json& args, Json& body) {
    require_launched();
    const Json& given = args.contains("arguments") && args["arguments"].is_object()
                            ? args["arguments"]
                            : launch_args_;
    LaunchSettings settings = launch_settings(given);
    LaunchSettings before = launch_settings(launch_args_);
    if (settings.program != before.program || settings.cwd != before.cwd)
        throw RequestError{"restart: another program or folder needs a new launch"};
    launch_args_ = given;
    ::restart(s_);
    use_settings(settings);
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
