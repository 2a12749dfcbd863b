#include "profile_view.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "command_words.hpp"
#include "output_file.hpp"
#include "run_files.hpp"

namespace {

constexpr int COSTLIEST_SHOWN = 10;

// The profile of the run up to the machine's step, kept with the session:
// asked again later in the run it counts on from where it was.
const Profile& counted(Session& s) {
    if (!s.profile) s.profile = std::make_unique<Profile>(s.run.start(), &s.run.history());
    s.profile->count_to(s.run.step());
    return *s.profile;
}

}  // namespace

bool count_profile(Session& s) {
    constexpr std::uint64_t PIECE = std::uint64_t{1} << 22;
    std::uint64_t target = s.run.step();
    if (!s.profile || target < s.profile->step())
        s.profile = std::make_unique<Profile>(s.run.start(), &s.run.history());
    interrupt_requested = 0;
    while (s.profile->step() < target) {
        std::uint64_t from = s.profile->step();
        s.profile->count_to(std::min(target, from + PIECE));
        if (s.profile->step() == from) break;  // the run ended there
        if (interrupt_requested != 0) {
            interrupt_requested = 0;
            return false;
        }
        if (s.run.progress) s.run.progress(s.profile->step(), target);
    }
    return true;
}

namespace {

std::string format(const char* pattern, auto... values) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

std::string address_text(unsigned address) { return format("%04X", address); }

// A subroutine by its label, else by its address.
std::string function_name(const Session& s, std::uint16_t entry) {
    if (entry == PROFILE_TOP_LEVEL) return "(top level)";
    std::string label = label_at(s.program, entry);
    return label.empty() ? address_text(entry) : label;
}

std::string percent(std::uint64_t part, std::uint64_t whole) {
    return format("%6.1f%%", whole == 0
                                 ? 0.0
                                 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
}

// One place a count belongs to: a source line, or for object code an
// address; `shown` is what follows the counts.
struct Place {
    std::string shown;
    ProfileCost cost;
    bool holds_code;
};

// "mnemonic operand" of the instruction at address, as loaded.
std::string loaded_instruction(const Machine& m, unsigned address) {
    const OpcodeEntry& e = OpcodeTable[m.memory[address]];
    if (!e.defined()) return "undefined opcode " + std::to_string(m.memory[address]);
    std::string text = e.mnemonic;
    if (e.length > 1) {
        unsigned operand = m.memory[address + 1];
        if (e.length == 3) operand |= static_cast<unsigned>(m.memory[address + 2]) << 8;
        text += ' ';
        text += std::to_string(operand);
    }
    return text;
}

std::vector<Place> places(const Session& s, const Profile& p) {
    std::vector<Place> list;
    const DebugProgram& program = s.program;
    if (!program.has_source) {
        for (unsigned a = 0; a < static_cast<unsigned>(MAX_MEMORY); ++a) {
            const ProfileCost& cost = p.by_address()[a];
            if (cost == ProfileCost{}) continue;
            list.push_back(
                {address_text(a) + "  " + loaded_instruction(s.run.start(), a), cost, true});
        }
        return list;
    }
    int count = source_line_count(program);
    std::vector<ProfileCost> lines = p.by_line(program.line_of_address, count);
    std::vector<bool> code(static_cast<std::size_t>(count) + 1);
    for (std::size_t a = 0; a < static_cast<std::size_t>(MAX_MEMORY); ++a) {
        std::int32_t line = program.line_of_address[a];
        if (program.code[a] && line > 0 && line <= count)
            code[static_cast<std::size_t>(line)] = true;
    }
    for (int line = 1; line <= count; ++line) {
        auto n = static_cast<std::size_t>(line);
        list.push_back(
            {format("%5d: ", line) + std::string(source_line(program, line)), lines[n], code[n]});
    }
    if (lines[0] != ProfileCost{}) list.push_back({"(outside the source)", lines[0], false});
    return list;
}

// Count and clocks, or ##### for code never run, or nothing.
std::string counts(const Place& place) {
    if (place.cost != ProfileCost{}) {
        return format("%9llu %10llu  ", static_cast<unsigned long long>(place.cost.instructions),
                      static_cast<unsigned long long>(place.cost.clocks));
    }
    return format("%9s %10s  ", place.holds_code ? "#####" : "", "");
}

}  // namespace

std::string profile_text(Session& s) {
    const Profile& p = counted(s);
    ProfileCost total = p.total();
    std::string text = "profile of the run so far: " + std::to_string(total.instructions) +
                       " instructions, " + std::to_string(total.clocks) + " clocks\n";
    std::vector<Place> all = places(s, p);
    text += format("%9s %10s  %s\n", "count", "clocks", s.program.has_source ? "line" : "address");
    for (const Place& place : all) text += counts(place) + place.shown + "\n";

    std::vector<const Place*> costly;
    for (const Place& place : all)
        if (place.cost != ProfileCost{}) costly.push_back(&place);
    // Stable: of two lines that cost the same, the earlier first.
    std::stable_sort(costly.begin(), costly.end(), [](const Place* a, const Place* b) {
        return a->cost.clocks > b->cost.clocks;
    });
    if (costly.size() > static_cast<std::size_t>(COSTLIEST_SHOWN)) costly.resize(COSTLIEST_SHOWN);
    text += "\ncostliest " + std::string(s.program.has_source ? "lines" : "addresses") + ":\n";
    if (costly.empty()) {
        text += "  none: no instruction has run yet\n";
    } else {
        text += format("%10s %7s %9s  %s\n", "clocks", "%", "count",
                       s.program.has_source ? "line" : "address");
    }
    for (const Place* place : costly) {
        text += format("%10llu ", static_cast<unsigned long long>(place->cost.clocks)) +
                percent(place->cost.clocks, total.clocks) +
                format(" %9llu  ", static_cast<unsigned long long>(place->cost.instructions)) +
                place->shown + "\n";
    }

    // The costliest first.
    std::vector<ProfileFunction> functions = p.functions();
    std::stable_sort(functions.begin(), functions.end(),
                     [](const ProfileFunction& a, const ProfileFunction& b) {
                         return a.inclusive.clocks > b.inclusive.clocks;
                     });
    text += "\nsubroutines, with what they call:\n";
    if (functions.size() == 1) {
        text += "  none: no call ran\n";
    } else {
        text += format("%9s %12s %10s %7s %10s  %s\n", "calls", "instructions", "clocks", "%",
                       "own clocks", "subroutine");
    }
    for (const ProfileFunction& f : functions) {
        if (f.entry == PROFILE_TOP_LEVEL) continue;
        text += format("%9llu %12llu %10llu", static_cast<unsigned long long>(f.calls),
                       static_cast<unsigned long long>(f.inclusive.instructions),
                       static_cast<unsigned long long>(f.inclusive.clocks)) +
                " " + percent(f.inclusive.clocks, total.clocks) +
                format(" %10llu  ", static_cast<unsigned long long>(f.self.clocks)) +
                function_name(s, f.entry) + "\n";
    }
    return text;
}

std::string callgrind_text(Session& s) {
    const Profile& p = counted(s);
    const DebugProgram& program = s.program;
    // Positions are source lines, or for object code instruction addresses.
    auto position = [&](std::uint16_t address) {
        return program.has_source ? std::to_string(program.line_of_address[address])
                                  : "0x" + address_text(address);
    };
    auto costs = [](const ProfileCost& c) {
        return std::to_string(c.instructions) + " " + std::to_string(c.clocks);
    };
    std::error_code error;
    std::filesystem::path file = std::filesystem::absolute(program.file_name, error);
    std::string text = "# callgrind format\nversion: 1\ncreator: debugger profile\n";
    text += "cmd: " + program.file_name + "\n";
    text += program.has_source ? "positions: line\n" : "positions: instr\n";
    text += "events: Instructions Clocks\n";
    text += "summary: " + costs(p.total()) + "\n\n";
    // Object code has no source to show: ??? is the format's unknown file.
    if (!program.has_source) {
        text += "fl=???\n";
    } else {
        text += "fl=" + (error ? program.file_name : file.string()) + "\n";
    }

    std::vector<ProfileSelfCost> self = p.self_costs();
    std::vector<ProfileCall> calls = p.calls();
    std::vector<ProfileFunction> functions = p.functions();
    for (const ProfileFunction& f : functions) {
        text += "fn=" + function_name(s, f.entry) + "\n";
        // Own costs by position, in address order; a line's addresses are
        // one cost line.
        std::string last_position;
        ProfileCost pending;
        auto flush = [&] {
            if (pending != ProfileCost{}) text += last_position + " " + costs(pending) + "\n";
            pending = {};
        };
        for (const ProfileSelfCost& c : self) {
            if (c.function != f.entry) continue;
            std::string at = position(c.address);
            if (at != last_position) flush();
            last_position = at;
            pending += c.cost;
        }
        flush();
        for (const ProfileCall& call : calls) {
            if (call.caller != f.entry) continue;
            text += "cfn=" + function_name(s, call.callee) + "\n";
            text += "calls=" + std::to_string(call.calls) + " " + position(call.callee) + "\n";
            // A reader adds every arc into a subroutine for its inclusive
            // cost, so a recursive call's arc carries only what its outermost
            // calls cost (nothing for a call made inside the callee itself).
            text += position(call.site) + " " + costs(call.outermost) + "\n";
        }
    }
    return text;
}

void write_profile(Session& s, const std::string& name) {
    const std::string& own = s.program.file_name;
    if (same_file(name, own)) {
        return say(*s.out, "not written: '" + name + "' is the program's " +
                               (s.program.has_source ? "source" : "object code"));
    }
    // A source's object code, as the assembler names it, is the user's too.
    if (s.program.has_source &&
        same_file(name, std::filesystem::path(own).replace_extension(".hx").string())) {
        return say(*s.out, "not written: '" + name + "' is the program's object code");
    }
    if (int problem = output_file_problem(name.c_str()); problem != 0) {
        return say(*s.out, "cannot write '" + name + "': " + std::strerror(problem));
    }
    std::string text = callgrind_text(s);
    // Whole or not at all: on a full disk the old file stays as it was.
    if (int problem = write_output_file(name, text)) {
        return say(*s.out, "cannot write '" + name + "': " + std::strerror(problem));
    }
    ProfileCost total = s.profile->total();
    say(*s.out, "profile written to '" + name + "' in callgrind format (" +
                    std::to_string(total.instructions) + " instructions, " +
                    std::to_string(total.clocks) + " clocks)");
}
