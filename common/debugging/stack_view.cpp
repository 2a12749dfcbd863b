#include "stack_view.hpp"

#include <cstdio>

#include "command_print.hpp"
#include "findings_view.hpp"
#include "machine/call_arguments.hpp"

namespace {

constexpr std::size_t SHOWN = 32;

int line_at(const Session& s, unsigned address) {
    if (!s.program.has_source || address >= static_cast<unsigned>(MEMORY_SIZE)) return 0;
    return s.program.line_of_address[address];
}

// "square+6 (0031)": a frame's place from its routine's label, else from
// the nearest label.
std::string frame_place(const Session& s, const Frame& f) {
    std::string name;
    if (f.routine && *f.routine <= f.position) {
        std::string label = label_at(s.program, *f.routine);
        if (!label.empty()) {
            name = label;
            if (f.position != *f.routine) {
                name += '+';
                name += std::to_string(f.position - *f.routine);
            }
        }
    }
    if (name.empty() && f.position < MAX_MEMORY) name = s.source.label_offset(f.position);
    return name.empty() ? hex4(f.position) : name + " (" + hex4(f.position) + ")";
}

// "line 14: ldd i", or "ldd at 001D" without source lines.
std::string pushed_by(const Session& s, unsigned pc) {
    if (line_at(s, pc) > 0) return instruction_place(s, pc);
    std::uint8_t op = s.run.machine().memory[pc];
    std::string name =
        OpcodeTable[op].defined() ? OpcodeTable[op].mnemonic : "byte " + std::to_string(op);
    return name + " at " + hex4(pc);
}

}  // namespace

std::string frame_arguments(Session& s, std::uint16_t routine, const OpenCall& call,
                            const StackStory& story) {
    return call_arguments_text(s.run.machine(), call, story.origins,
                               argument_names(s.program, routine), s.program.line_of_address);
}

std::string arguments_here(Session& s) {
    std::vector<Frame> frames = s.run.frames();
    std::vector<OpenCall> calls = s.run.open_calls();
    if (calls.empty() || frames.empty() || !frames.front().routine) return "";
    std::uint16_t routine = *frames.front().routine;
    std::string arguments = frame_arguments(s, routine, calls.back(), s.run.stack_story());
    if (arguments.empty()) return "";
    std::string name = label_at(s.program, routine);
    return (name.empty() ? hex4(routine) : name) + " " + arguments;
}

void print_backtrace(Session& s, bool all) {
    std::vector<Frame> frames = s.run.frames();
    std::vector<OpenCall> calls = s.run.open_calls();
    StackStory story = s.run.stack_story();
    std::size_t shown = all ? frames.size() : std::min(frames.size(), SHOWN);
    for (std::size_t i = 0; i < shown; ++i) {
        const Frame& f = frames[i];
        std::string text = "#";
        text += std::to_string(i);
        text += ' ';
        text += frame_place(s, f);
        if (f.routine && i < calls.size()) {
            std::string arguments =
                frame_arguments(s, *f.routine, calls[calls.size() - 1 - i], story);
            if (!arguments.empty()) text += " " + arguments;
        }
        if (int line = line_at(s, f.position); line > 0)
            text += ", " + instruction_place(s, f.position);
        if (f.call_site) {
            int line = line_at(s, *f.call_site);
            text +=
                ", called from " + (line > 0 ? "line " + std::to_string(line) : hex4(*f.call_site));
        }
        say(*s.out, text);
    }
    if (shown < frames.size())
        say(*s.out,
            "... " + std::to_string(frames.size() - shown) + " more frames (backtrace all)");
}

void print_stack(Session& s, std::optional<std::uint64_t> count, bool all) {
    const Machine& m = s.run.machine();
    if (m.SP == 0 || m.SP >= STACK_TOP) return say(*s.out, "the stack is empty");
    unsigned depth = STACK_TOP - m.SP;
    std::uint64_t wanted = all ? depth : count.value_or(SHOWN);
    unsigned shown = static_cast<unsigned>(std::min<std::uint64_t>(depth, wanted));
    StackStory story = s.run.stack_story();
    for (const StackEntry& e : stack_entries(story, m, shown)) {
        char text[64];
        unsigned a = e.address;
        if (e.call != nullptr) {
            unsigned site = e.call->return_address - 3u;
            std::string whence;
            if (line_at(s, e.call->return_address) > 0 && line_at(s, site) > 0) {
                whence = "to line " + std::to_string(line_at(s, e.call->return_address)) +
                         ", after the call at line " + std::to_string(line_at(s, site));
            } else {
                whence = "after the call at " + hex4(site);
            }
            std::snprintf(text, sizeof text, "%04X-%04X  return address %04X (", a, a + 1,
                          e.call->return_address);
            say(*s.out, text + whence + ")");
            continue;
        }
        std::snprintf(text, sizeof text, "%04X  %02X  %3u", a, m.memory[a], m.memory[a]);
        say(*s.out, e.pushed_by == StackOrigins::NONE
                        ? std::string(text)
                        : text + std::string("  pushed by ") + pushed_by(s, e.pushed_by));
    }
    if (shown < depth)
        say(*s.out, "... " + std::to_string(depth - shown) + " more (stack all shows them)");
}

std::string end_stack_leak_line(const Session& s) {
    if (s.run.standing() == RunEnd::HALTED) return stack_leak_line(s, s.run.machine().SP);
    // A push stops only at the stack's bottom.
    if (s.run.standing() == RunEnd::STOPPED && s.run.stop().kind == StopKind::STACK_OVERFLOW)
        return stack_leak_line(s, STACK_BOTTOM);
    return "";
}

std::string stack_leak_line(const Session& s, unsigned sp) {
    if (s.run.step() != s.run.recorded()) return "";
    std::optional<StackLeak> leak = stack_leak(s.run.findings().monitor->stack_origins(), sp);
    if (!leak) return "";
    return stack_leak_lead(*leak) + pushed_by(s, leak->pushed_by);
}

std::string balance_text(unsigned depth_before, unsigned depth_after) {
    if (depth_before == depth_after) return "the stack is as deep as before the call";
    unsigned change =
        depth_after > depth_before ? depth_after - depth_before : depth_before - depth_after;
    return "the stack is " + std::to_string(change) + (change == 1 ? " byte " : " bytes ") +
           (depth_after > depth_before ? "deeper" : "shallower") + " than before the call";
}
