// The adapter's requests that look at the machine and change it: the call
// stack, the variables, memory, the listing, a finding's text and the
// debug console.
#include <algorithm>

#include "adapter.hpp"
#include "command_print.hpp"
#include "command_words.hpp"
#include "commands.hpp"
#include "disassemble.hpp"
#include "machine/condition.hpp"
#include "memory_view.hpp"
#include "opcode_table.hpp"
#include "stack_view.hpp"

namespace {

enum Scope : int { REGISTERS = 1, FLAGS, STACK, LABELS };

std::string address_text(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
    return text;
}

Json variable(const std::string& name, const std::string& value, const std::string& type = "") {
    Json v = {{"name", name}, {"value", value}, {"variablesReference", 0}};
    if (!type.empty()) v["type"] = type;
    return v;
}

unsigned word_at(const Machine& m, unsigned address) {
    return m.memory[address] | (m.memory[(address + 1) % MEMORY_SIZE] << 8);
}

const char BASE64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string to_base64(const std::uint8_t* bytes, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; i += 3) {
        unsigned v =
            bytes[i] << 16 | (i + 1 < n ? bytes[i + 1] << 8 : 0) | (i + 2 < n ? bytes[i + 2] : 0);
        out += BASE64[v >> 18 & 63];
        out += BASE64[v >> 12 & 63];
        out += i + 1 < n ? BASE64[v >> 6 & 63] : '=';
        out += i + 2 < n ? BASE64[v & 63] : '=';
    }
    return out;
}

std::vector<std::uint8_t> from_base64(const std::string& text) {
    std::vector<std::uint8_t> out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        const char* at = std::strchr(BASE64, c);
        if (c == '\0' || at == nullptr) throw RequestError{"data is not base64"};
        bits = (bits << 6 | static_cast<unsigned>(at - BASE64)) & 0xFFFFFF;
        if ((count += 6) >= 8) {
            count -= 8;
            out.push_back(static_cast<std::uint8_t>(bits >> count));
        }
    }
    return out;
}

// An address from a memory reference ("0x0012" or decimal) and an offset.
long address_of(const Json& args) {
    std::optional<std::uint64_t> base = parse_number(args.at("memoryReference").get<std::string>());
    if (!base) throw RequestError{"a memory reference is an address"};
    return static_cast<long>(*base) + args.value("offset", 0L);
}

}  // namespace

// The nearest label at or before address, "" when none is.
static std::string routine_of(const DebugProgram& p, unsigned address) {
    const Label* best = nullptr;
    for (const Label& l : p.labels)
        if (l.address <= address && (best == nullptr || l.address > best->address)) best = &l;
    return best != nullptr ? best->name : "";
}

// The frames the recorded run builds from the calls the machine ran,
// innermost first; each is named by the routine its call went to (the
// outermost by the label before it).
void Adapter::stack_trace(const Json& args, Json& body) {
    require_launched();
    std::vector<Frame> calls = s_.run.frames();
    Json frames = Json::array();
    std::size_t first = std::min<std::size_t>(args.value("startFrame", 0u), calls.size());
    std::size_t levels = args.value("levels", 0u);
    std::size_t last = levels == 0 ? calls.size() : std::min(calls.size(), first + levels);
    for (std::size_t i = first; i < last; ++i) {
        const Frame& f = calls[i];
        std::string name = f.routine ? label_at(s_.program, *f.routine) : "";
        if (name.empty()) name = routine_of(s_.program, f.position);
        int line = line_of(f.position);
        Json frame = {{"id", static_cast<int>(i)},
                      {"name", name.empty() ? address_text(f.position) : name},
                      {"line", line},
                      {"column", line > 0 ? 1 : 0},
                      {"instructionPointerReference", address_text(f.position)}};
        // A frame at a place without a source line (a stray PC, data, an
        // object code file) has no source: the editor shows disassembly.
        if (line > 0) frame["source"] = {{"path", source_path_}};
        frames.push_back(frame);
    }
    body = {{"stackFrames", frames}, {"totalFrames", calls.size()}};
}

void Adapter::scopes(const Json&, Json& body) {
    require_launched();
    body = {{"scopes",
             {{{"name", "Registers"}, {"variablesReference", REGISTERS}, {"expensive", false}},
              {{"name", "Flags"}, {"variablesReference", FLAGS}, {"expensive", false}},
              {{"name", "Stack"}, {"variablesReference", STACK}, {"expensive", false}},
              {{"name", "Labels"}, {"variablesReference", LABELS}, {"expensive", false}}}}};
}

void Adapter::variables(const Json& args, Json& body) {
    require_launched();
    const Machine& m = s_.run.machine();
    Json list = Json::array();
    switch (args.at("variablesReference").get<int>()) {
        case REGISTERS:
            list.push_back(variable("PC", address_text(m.PC), "word"));
            list.back()["memoryReference"] = address_text(m.PC);
            list.push_back(variable("SP", address_text(m.SP), "word"));
            list.back()["memoryReference"] = address_text(m.SP);
            list.push_back(
                variable("IR",
                         std::to_string(m.IR) + " (" +
                             (OpcodeTable[m.IR].defined() ? OpcodeTable[m.IR].mnemonic : "?") + ")",
                         "byte"));
            list.push_back(variable("instructions", std::to_string(m.instruction_count), "count"));
            list.push_back(variable("clocks", std::to_string(m.clock_count), "count"));
            break;
        case FLAGS:
            for (auto [name, value] : {std::pair{"Z", m.Z}, {"S", m.S}, {"O", m.O}, {"C", m.C}})
                list.push_back(variable(name, std::to_string(value), "flag"));
            break;
        case STACK: {
            // Each byte with the instruction that pushed it; a return
            // address of an open call as one entry.
            if (m.SP == 0 || m.SP >= STACK_TOP) break;
            // The innermost routine's arguments, named by its stack comment.
            if (std::string here = arguments_here(s_); !here.empty()) {
                std::size_t open = here.find(" (");
                list.push_back(variable("arguments of " + here.substr(0, open),
                                        here.substr(open + 2, here.size() - open - 3),
                                        "arguments"));
            }
            StackStory story = s_.run.stack_story();
            for (const StackEntry& e : stack_entries(story, m, 512)) {
                unsigned a = e.address;
                if (e.call != nullptr) {
                    unsigned site = e.call->return_address - 3u;
                    list.push_back(variable(
                        address_text(a) + "-" + address_text(a + 1),
                        "return address " + address_text(e.call->return_address) +
                            " (after the call at line " + std::to_string(line_of(site)) + ")",
                        "word"));
                    continue;
                }
                std::string value = std::to_string(m.memory[a]);
                if (e.pushed_by != StackOrigins::NONE)
                    value += " (pushed by " + instruction_place(s_, e.pushed_by) + ")";
                list.push_back(variable(address_text(a), value, "byte"));
                list.back()["memoryReference"] = address_text(a);
                if (list.size() == 256) break;
            }
            break;
        }
        case LABELS:
            for (const Label& l : s_.program.labels) {
                list.push_back(variable(l.name, std::to_string(m.memory[l.address]), "byte"));
                list.back()["memoryReference"] = address_text(l.address);
                list.push_back(
                    variable(l.name + " (word)", std::to_string(word_at(m, l.address)), "word"));
                list.back()["memoryReference"] = address_text(l.address);
            }
            break;
        default: throw RequestError{"no such variables"};
    }
    body = {{"variables", list}};
}

// A change to the machine where the run stands: the run goes on from the
// changed state (what was recorded after it is forgotten, what came before
// can still be stepped back to), as the debugger's set does.
void Adapter::change_machine(const std::function<void(Machine&)>& change) {
    Machine changed = s_.run.machine();
    change(changed);
    change_state(s_, changed);
}

void Adapter::set_variable(const Json& args, Json& body) {
    require_launched();
    int scope = args.at("variablesReference").get<int>();
    std::string name = args.at("name").get<std::string>();
    std::optional<std::uint64_t> value = parse_number(args.at("value").get<std::string>());
    if (!value) throw RequestError{"a value is a number"};
    std::uint64_t v = *value;
    if (scope == REGISTERS && (name == "PC" || name == "SP")) {
        if (v > 0xFFFF) throw RequestError{"a register holds 16 bits"};
        change_machine(
            [&](Machine& m) { (name == "PC" ? m.PC : m.SP) = static_cast<std::uint16_t>(v); });
    } else if (scope == FLAGS && name.size() == 1 &&
               std::string("ZSOC").find(name) != std::string::npos) {
        if (v > 1) throw RequestError{"a flag is 0 or 1"};
        change_machine([&](Machine& m) {
            std::uint8_t* flag[] = {&m.Z, &m.S, &m.O, &m.C};
            *flag[std::string("ZSOC").find(name)] = static_cast<std::uint8_t>(v);
        });
    } else if (scope == LABELS && find_label(s_.program, name)) {
        if (v > 255) throw RequestError{"a byte holds 0 to 255"};
        std::uint16_t at = *find_label(s_.program, name);
        change_machine([&](Machine& m) { m.memory[at] = static_cast<std::uint8_t>(v); });
    } else {
        throw RequestError{quoted_word(name) + " cannot be set"};
    }
    body = {{"value", std::to_string(v)}};
}

void Adapter::read_memory(const Json& args, Json& body) {
    require_launched();
    long start = address_of(args);
    long count = std::clamp(args.at("count").get<long>(), 0L, static_cast<long>(MEMORY_SIZE));
    long from = std::clamp(start, 0L, static_cast<long>(MEMORY_SIZE));
    long to = std::clamp(start + count, 0L, static_cast<long>(MEMORY_SIZE));
    body = {{"address", address_text(static_cast<unsigned>(from))},
            {"data", to_base64(s_.run.machine().memory + from,
                               static_cast<std::size_t>(std::max(0L, to - from)))}};
    if (start + count > to) body["unreadableBytes"] = start + count - std::max(from, to);
}

void Adapter::write_memory(const Json& args, Json& body) {
    require_launched();
    long start = address_of(args);
    std::vector<std::uint8_t> data = from_base64(args.at("data").get<std::string>());
    if (start < 0 || start + static_cast<long>(data.size()) > MEMORY_SIZE)
        throw RequestError{"the bytes do not fit in memory"};
    change_machine([&](Machine& m) { std::copy(data.begin(), data.end(), m.memory + start); });
    body = {{"offset", 0}, {"bytesWritten", data.size()}};
}

// The disassembler's text of the loaded object code: each line ends with
// "[XXXX]", its address; a line that starts with '[' names a label there,
// which the session takes as the program's own (breakpoints, frames).
void Adapter::disassemble_program() {
    std::string text = ::disassemble(s_.program.image.data(), s_.program.loaded);
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        at = end + 1;
        std::size_t comment = line.rfind(';');
        std::size_t open = line.rfind('[');
        if (line.empty() || line[0] == ';' || comment == std::string::npos ||
            open == std::string::npos || open < comment)
            continue;
        auto address =
            static_cast<std::uint16_t>(std::stoul(line.substr(open + 1, 4), nullptr, 16));
        std::string statement = line.size() > 8 ? line.substr(8, comment - 8) : "";
        while (!statement.empty() && statement.back() == ' ') statement.pop_back();
        if (statement.starts_with("org ")) continue;
        listing_[address] = statement;
        if (line[0] == '[') {
            std::size_t name_end = line.find(' ');
            s_.program.labels.push_back({line.substr(1, name_end - 1), address});
        }
    }
}

void Adapter::disassemble(const Json& args, Json& body) {
    require_launched();
    long at = address_of(args);
    long count = std::clamp(args.at("instructionCount").get<long>(), 0L, 4096L);
    // An instruction offset before the address is counted in bytes, one per
    // instruction, where the lengths before it are unknown.
    at += args.value("instructionOffset", 0L);
    Json list = Json::array();
    const Machine& m = s_.run.machine();
    for (long i = 0; i < count; ++i) {
        if (at < 0 || at >= MEMORY_SIZE) {
            list.push_back({{"address", address_text(static_cast<unsigned>(at))},
                            {"instruction", "??"},
                            {"presentationHint", "invalid"}});
            ++at;
            continue;
        }
        unsigned a = static_cast<unsigned>(at);
        const OpcodeEntry& e = OpcodeTable[m.memory[a]];
        std::string bytes;
        for (unsigned b = a; b < a + e.length && b < MEMORY_SIZE; ++b) {
            char text[4];
            std::snprintf(text, sizeof text, "%02X ", m.memory[b]);
            bytes += text;
        }
        auto listed = listing_.find(static_cast<std::uint16_t>(a));
        Json line = {
            {"address", address_text(a)},
            {"instructionBytes", bytes},
            {"instruction", listed != listing_.end() ? listed->second : instruction_text(m, a)}};
        if (std::string label = label_at(s_.program, static_cast<std::uint16_t>(a)); !label.empty())
            line["symbol"] = label;
        if (int source = line_of(static_cast<std::uint16_t>(a)); source > 0) {
            line["line"] = source;
            line["location"] = {{"path", source_path_}};
        }
        list.push_back(line);
        at += e.length;
    }
    body = {{"instructions", list}};
}

void Adapter::exception_info(const Json&, Json& body) {
    require_launched();
    if (s_.run.standing() == RunEnd::STOPPED) {
        body = {{"exceptionId", "stop"},
                {"description", last_description_},
                {"breakMode", "always"},
                {"details", {{"message", last_description_}}}};
        return;
    }
    std::vector<std::size_t> here = s_.run.findings().at(s_.run.step());
    if (here.empty()) throw RequestError{"no finding here"};
    body = {
        {"exceptionId", "finding"}, {"description", last_description_}, {"breakMode", "always"}};
}

std::variant<std::pair<std::string, std::optional<std::uint16_t>>, std::string>
Adapter::evaluate_location(const std::string& expression) const {
    const Machine& m = s_.run.machine();
    Words words = split_words(expression);
    if (words.empty()) return std::string("nothing to show");
    std::string first = words[0];
    std::transform(first.begin(), first.end(), first.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (words.size() == 1 && !find_label(s_.program, first)) {
        if (first == "pc" || first == "sp") {
            unsigned value = first == "pc" ? m.PC : m.SP;
            return std::pair{address_text(value) + " " + std::to_string(value),
                             std::optional<std::uint16_t>(static_cast<std::uint16_t>(value))};
        }
        const std::string flags = "zsoc";
        if (first.size() == 1 && flags.find(first[0]) != std::string::npos) {
            const std::uint8_t values[] = {m.Z, m.S, m.O, m.C};
            return std::pair{std::to_string(values[flags.find(first[0])]),
                             std::optional<std::uint16_t>{}};
        }
    }
    // word LOC, word [LOC], [LOC], LOC, LOC FORMAT
    std::string format = "byte";
    std::size_t at_word = 0;
    if (first == "word" && words.size() == 2) {
        format = "word";
        at_word = 1;
    } else if (words.size() == 2) {
        format = words[1];
    } else if (words.size() != 1) {
        return std::string("not a location: LOC, [LOC], word LOC, LOC FORMAT, sp, pc or a flag");
    }
    if (format != "byte" && format != "word" && format != "char" && format != "string")
        return "'" + quoted_word(format) + "' is not a format (byte, word, char or string)";
    std::string loc = words[at_word];
    if (loc.size() > 2 && loc.front() == '[' && loc.back() == ']')
        loc = loc.substr(1, loc.size() - 2);
    std::string error;
    std::optional<std::uint16_t> at = resolve_location(
        loc, MEMORY_SIZE - 1, [&](std::string_view name) { return find_label(s_.program, name); },
        error);
    if (!at) return error;
    if (format == "word" && *at + 1u >= static_cast<unsigned>(MEMORY_SIZE))
        return "a word at " + address_text(*at) + " would end past memory";
    std::optional<std::string> text = print_text(s_, *at, format);
    if (!text) return std::string("cannot show it");
    return std::pair{*text, at};
}

// A logpoint's message with each {expression} shown as a watch shows it.
void Adapter::log_point(int id) {
    const std::string& message = log_messages_[id];
    std::string text;
    for (std::size_t i = 0; i < message.size(); ++i) {
        std::size_t close = message[i] == '{' ? message.find('}', i) : std::string::npos;
        if (close == std::string::npos) {
            text += message[i];
            continue;
        }
        auto shown = evaluate_location(message.substr(i + 1, close - i - 1));
        if (auto* value = std::get_if<0>(&shown))
            text += value->first;
        else
            text += "<" + std::get<std::string>(shown) + ">";
        i = close;
    }
    flush_output();
    Json event = {{"seq", 0},
                  {"type", "event"},
                  {"event", "output"},
                  {"body", {{"category", "console"}, {"output", text + "\n"}}}};
    if (s_.program.has_source) {
        event["body"]["source"] = {{"path", source_path_}};
        event["body"]["line"] = line_of(s_.run.machine().PC);
    }
    if (worker_output_)
        emit(std::move(event));
    else
        deferred_.push_back(std::move(event));
}

// The debug console runs the debugger's commands as the terminal debugger
// does, and `key X`, the key for an `in 1` that waits; a command that moves
// the run is followed by a stopped event. Watch and hover show a location.
void Adapter::evaluate(const Json& args, Json& body) {
    require_launched();
    std::string expression = args.at("expression").get<std::string>();
    std::string context = args.value("context", "repl");
    if (context != "repl") {
        auto shown = evaluate_location(expression);
        if (std::string* error = std::get_if<std::string>(&shown)) throw RequestError{*error};
        auto& [text, at] = std::get<0>(shown);
        body = {{"result", text}, {"variablesReference", 0}};
        if (at) body["memoryReference"] = address_text(*at);
        return;
    }
    Words words = split_words(expression);
    if (!words.empty() && (words[0] == "quit" || words[0] == "q"))
        throw RequestError{"use the editor's stop button"};
    if (!words.empty() && words[0] == "key") {
        if (words.size() != 2 || words[1].size() != 1)
            throw RequestError{"key takes one character: key a"};
        if (s_.run.standing() == RunEnd::KEY_WAIT) {
            s_.run.key_came();
            body = {{"result", "key '" + words[1] + "' given: the run goes on"},
                    {"variablesReference", 0}};
            queue_event("continued", {{"threadId", 1}, {"allThreadsContinued", true}});
            begin_motion({[this] {
                              return s_.run.move({::Motion::CONTINUE, 0}).end;
                          },
                          "step", true});
        } else {
            keys_.push_back(words[1]);
            body = {{"result", "key '" + words[1] + "' kept for the next in 1 that waits"},
                    {"variablesReference", 0}};
        }
        return;
    }
    // A command that runs the machine or searches its history is a motion:
    // answered at once, it runs on the worker (pause stops it) and its text
    // comes as console output before its stopped event.
    if (!words.empty() && command_moves(words[0])) {
        body = {{"result", quoted_word(expression) + ": the run goes on"},
                {"variablesReference", 0}};
        queue_event("continued", {{"threadId", 1}, {"allThreadsContinued", true}});
        begin_motion({[this, expression] {
                          run_command(s_, expression);
                          flush_output();
                          std::string text = take_said();
                          Json said = {{"seq", 0},
                                       {"type", "event"},
                                       {"event", "output"},
                                       {"body", {{"category", "console"}, {"output", text}}}};
                          if (!text.empty()) {
                              if (worker_output_)
                                  emit(std::move(said));
                              else
                                  deferred_.push_back(std::move(said));
                          }
                          bool ended =
                              !can_go_on(s_.run.standing()) && s_.run.step() == s_.run.recorded();
                          return ended ? s_.run.standing() : RunEnd::LIMIT;
                      },
                      "goto"});
        return;
    }
    run_command(s_, expression);
    std::string text = take_said();
    flush_output();
    body = {{"result", text}, {"variablesReference", 0}};
}
