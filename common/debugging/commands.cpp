#include "commands.hpp"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "command_print.hpp"
#include "command_words.hpp"
#include "findings_view.hpp"
#include "memory_view.hpp"
#include "profile_view.hpp"
#include "run_commands.hpp"
#include "stack_view.hpp"

namespace {

// What a handler gets: the session, the line's words (the command first)
// and the whole line (echo prints its rest).
struct Call {
    Session& s;
    const Words& words;
    const std::string& line;
};

// step, next and back: an empty line after one repeats it.
void repeat_later(const Call& c) {
    if (!c.line.empty()) c.s.repeat_line = c.line;
}

bool step_command(const Call& c) {
    if (std::optional<std::uint64_t> n = parse_count(c.s, c.words, 1)) {
        repeat_later(c);
        step_lines(c.s, *n, c.words[0][0] == 'n');
    }
    return true;
}

void help(std::ostream& out);
void help_command(std::ostream& out, const std::string& word);

// Every command: its name and short name, the arguments help shows, the
// most words it takes (itself included; 0 for any), whether an empty line
// repeats it, what it does, its help line, an example and whether it moves
// (runs the machine or searches the recorded run).
struct Command {
    const char* name;
    const char* alias;
    const char* arguments;
    std::size_t most_words;
    bool repeats;
    bool (*run)(const Call&);
    const char* help;
    const char* example = nullptr;  // one line as a user types it
    bool moves = false;
};

constexpr Command COMMANDS[] = {
    {"step", "s", "[N]", 2, true, step_command,
     "run N instructions (default 1), each with its trace line", "step 5", true},
    {"next", "n", "[N]", 2, true, step_command, "like step, but a call runs until it returns",
     "next", true},
    {"finish", nullptr, "", 1, false,
     [](const Call& c) {
         finish(c.s);
         return true;
     },
     "run until the current subroutine returns; how the stack changed", "finish", true},
    {"continue", "c", "", 1, false,
     [](const Call& c) {
         continue_run(c.s);
         return true;
     },
     "run until a breakpoint, a watchpoint, a finding, hlt, a stop or Ctrl-C", "continue", true},
    {"back", nullptr, "[N]", 2, true,
     [](const Call& c) {
         if (std::optional<std::uint64_t> n = parse_count(c.s, c.words, 1)) {
             repeat_later(c);
             back(c.s, *n);
         }
         return true;
     },
     "go back N instructions (default 1), as far as the start of the run", "back 3", true},
    {"goto", nullptr, "N", 2, false,
     [](const Call& c) {
         if (std::optional<std::uint64_t> n = parse_step(c.s, c.words)) goto_step(c.s, *n);
         return true;
     },
     "to the state right after instruction N of the run (0: the start)", "goto 120", true},
    {"reverse-continue", "rc", "", 1, false,
     [](const Call& c) {
         reverse_continue(c.s);
         return true;
     },
     "back to where a breakpoint, watchpoint or finding last stopped, or the start", "rc", true},
    {"reverse-finish", "rfinish", "", 1, false,
     [](const Call& c) {
         reverse_finish(c.s);
         return true;
     },
     "back to the state before the call that opened the current subroutine", "rfinish", true},
    {"reverse-next", "rn", "[N]", 2, true,
     [](const Call& c) {
         if (std::optional<std::uint64_t> n = parse_count(c.s, c.words, 1)) {
             repeat_later(c);
             reverse_next(c.s, *n);
         }
         return true;
     },
     "back N instructions (default 1) at this call depth, over whole calls", "rn 2", true},
    {"last-write", nullptr, "[word] LOC", 3, false,
     [](const Call& c) {
         // "word LOC", or a label whose data begins with dw: either byte.
         bool word = c.words.size() == 3 && c.words[1] == "word";
         Words place = c.words;
         if (word) place.erase(place.begin() + 1);
         if (std::optional<std::uint16_t> at = parse_address(c.s, place)) {
             const DataBlock* block = block_at(c.s.program, *at);
             bool label = place[1].find_first_of("+0123456789") != 0 &&
                          place[1].find('+') == std::string::npos;
             if (!word && label && block != nullptr && block->word) word = true;
             if (word && *at + 1u >= static_cast<unsigned>(MEMORY_SIZE)) {
                 say(*c.s.out, "a word at " + hex4(*at) + " would end past memory");
             } else {
                 print_last_write(c.s, *at, word);
             }
         }
         return true;
     },
     "the last instruction that changed the byte (or word) at LOC", "last-write total+1", true},
    {"break", "br", "LOC [if COND]", 0, false,
     [](const Call& c) {
         set_breakpoint(c.s, c.words, MarkKind::BREAK);
         return true;
     },
     "stop when PC reaches LOC (and COND holds)", "break loop if [n] == 3"},
    {"tbreak", nullptr, "LOC [if COND]", 0, false,
     [](const Call& c) {
         set_breakpoint(c.s, c.words, MarkKind::TBREAK);
         return true;
     },
     "stop when PC reaches LOC, only once", "tbreak :12"},
    {"watch", nullptr, "[word] LOC [if COND]", 0, false,
     [](const Call& c) {
         set_breakpoint(c.s, c.words, MarkKind::WATCH);
         return true;
     },
     "stop after an instruction that changes the byte (or word) at LOC",
     "watch word total if word [total] > 0x100"},
    {"rwatch", nullptr, "LOC [if COND]", 0, false,
     [](const Call& c) {
         set_breakpoint(c.s, c.words, MarkKind::RWATCH);
         return true;
     },
     "stop after an instruction that reads the byte at LOC", "rwatch count if top == 0"},
    {"ignore", nullptr, "ID N", 3, false,
     [](const Call& c) {
         ignore_command(c.s, c.words);
         return true;
     },
     "let breakpoint or watchpoint ID pass its next N hits", "ignore 1 4"},
    {"delete", nullptr, "[ID]", 2, false,
     [](const Call& c) {
         delete_command(c.s, c.words);
         return true;
     },
     "delete a breakpoint or watchpoint, or all of them", "delete 2"},
    {"info", nullptr, "WHAT", 2, false,
     [](const Call& c) {
         if (c.words.size() == 2 && (c.words[1] == "breakpoints" || c.words[1] == "b")) {
             info_breakpoints(c.s);
         } else if (c.words.size() == 2 && c.words[1] == "findings") {
             info_findings(c.s);
         } else {
             say(*c.s.out,
                 "info breakpoints lists breakpoints and watchpoints, info findings the findings");
         }
         return true;
     },
     "list the breakpoints (and watchpoints) or the findings of the run", "info breakpoints"},
    {"check", nullptr, "[KIND on|off]", 3, false,
     [](const Call& c) {
         check_command(c.s, c.words);
         return true;
     },
     "the kinds of findings that stop a run; turn one (or all) on or off", "check unwritten on"},
    {"regs", nullptr, "", 1, false,
     [](const Call& c) {
         print_registers(c.s);
         return true;
     },
     "registers, flags and counts", "regs"},
    {"stack", nullptr, "[N|all]", 2, false,
     [](const Call& c) {
         if (c.words.size() == 1 || c.words[1] == "all") {
             print_stack(c.s, std::nullopt, c.words.size() == 2);
         } else if (std::optional<std::uint64_t> n = parse_count(c.s, c.words, 1)) {
             print_stack(c.s, n, false);
         }
         return true;
     },
     "what each byte on the stack is, the top 32, N or all of them", "stack 8"},
    {"backtrace", "bt", "[all]", 2, false,
     [](const Call& c) {
         if (c.words.size() == 2 && c.words[1] != "all") {
             say(*c.s.out, "backtrace takes no word but all");
         } else {
             print_backtrace(c.s, c.words.size() == 2);
         }
         return true;
     },
     "the open calls, innermost first: routine, place, line, the call's line", "bt"},
    {"print", "p", "LOC [byte|word|char|string]", 3, false,
     [](const Call& c) {
         print_command(c.s, c.words);
         return true;
     },
     "the byte (or word, character, string) at LOC in hex, decimal and as a character",
     "print total word"},
    {"x", nullptr, "LOC [N] [hex|dec|char|word]", 4, false,
     [](const Call& c) {
         examine_command(c.s, c.words);
         return true;
     },
     "N bytes (or words) of memory from LOC; without a format in hex and decimal",
     "x 0x3FF0 16 hex"},
    {"display", nullptr, "LOC [byte|word|char|string]", 3, false,
     [](const Call& c) {
         display_command(c.s, c.words);
         return true;
     },
     "print LOC as print does, and again after every stop", "display count"},
    {"undisplay", nullptr, "ID", 2, false,
     [](const Call& c) {
         undisplay_command(c.s, c.words);
         return true;
     },
     "stop printing display ID", "undisplay 1"},
    {"set", nullptr, "LOC = V... | sp = V | pc = LOC", 0, false,
     [](const Call& c) {
         set_command(c.s, c.words);
         return true;
     },
     "store bytes, or set SP or PC, where the run stands; the run goes on from there",
     "set total = 0 1"},
    {"list", nullptr, "[LOC]", 2, false,
     [](const Call& c) {
         list(c.s, c.words);
         return true;
     },
     "source lines or instructions around PC or LOC", "list :20"},
    {"profile", nullptr, "[FILE]", 2, false,
     [](const Call& c) {
         if (!count_profile(c.s)) {
             say(*c.s.out, "interrupted");
             print_position(c.s);
         } else if (c.words.size() == 2) {
             write_profile(c.s, c.words[1]);
         } else {
             std::string text = profile_text(c.s);
             c.s.out->write(text.data(), static_cast<std::streamsize>(text.size()));
         }
         return true;
     },
     "per line count and clocks, costliest, subroutines; FILE: callgrind", "profile run.callgrind",
     true},
    {"run", nullptr, "", 1, false,
     [](const Call& c) {
         bool changed = !c.s.run.history().rewritten_steps().empty();
         restart(c.s);
         if (changed) say(*c.s.out, "the changes made by set are dropped");
         say(*c.s.out, "started again from reset");
         print_position(c.s);
         return true;
     },
     "start again from the loaded program", "run", true},
    {"quit", "q", "", 1, false, [](const Call&) { return false; }, "end the session", "quit"},
    {"echo", nullptr, "TEXT", 0, false,
     [](const Call& c) {
         // Marks the sections of a scripted session.
         say(*c.s.out, c.line.substr(std::min(c.line.find("echo") + 5, c.line.size())));
         return true;
     },
     "print TEXT (marks the parts of a scripted session)", "echo =second"},
    {"help", nullptr, "[COMMAND]", 2, false,
     [](const Call& c) {
         if (c.words.size() == 2) {
             help_command(*c.s.out, c.words[1]);
         } else {
             help(*c.s.out);
         }
         return true;
     },
     "this list, or one command: its arguments and an example", "help print"},
};

std::string usage_of(const Command& command) {
    std::string text = command.name;
    if (*command.arguments != '\0') text = text + " " + command.arguments;
    if (command.alias != nullptr) text = text + " (" + command.alias + ")";
    return text;
}

void help(std::ostream& out) {
    std::string repeated;
    for (const Command& command : COMMANDS) {
        put_format(out, "%-22s %s\n", usage_of(command).c_str(), command.help);
        if (command.repeats)
            repeated += repeated.empty() ? command.name : std::string(", ") + command.name;
    }
    std::string kinds;
    for (const FindingKindRow& kind : FINDING_KINDS) kinds.append(kind.name).append(", ");
    say(out,
        "LOC is a decimal or 0x address, a label, label+N or :LINE; COND is [LOC], word [LOC], "
        "sp, pc or top, then ==, !=, <, <=, > or >=, then a number; WHAT is breakpoints or "
        "findings; KIND "
        "is " +
            kinds + "or all; an empty line repeats " + repeated +
            "; help COMMAND shows an example");
}

// What the words of the argument lines stand for, for help COMMAND.
struct ArgumentWord {
    const char* word;
    const char* meaning;
};

constexpr ArgumentWord ARGUMENT_WORDS[] = {
    {"LOC", "a decimal or 0x address, a label, label+N or :LINE (a source line)"},
    {"ADDRESS", "a decimal or 0x address, a label, label+N or :LINE"},
    {"N", "a number, decimal or 0x"},
    {"V", "a number, decimal or 0x (a byte: 0 to 255)"},
    {"ID", "the number a breakpoint, watchpoint or display was given"},
    {"FILE", "a file name"},
    {"KIND", "a kind of finding (help lists them) or all"},
    {"WHAT", "breakpoints (b) or findings"},
    {"TEXT", "any text"},
    {"COND", "[LOC], word [LOC], sp, pc or top, then ==, !=, <, <=, > or >=, then a number"},
    {"COMMAND", "a command's name or short name"},
};

bool names_word(const std::string& arguments, const std::string& word) {
    for (std::size_t at = arguments.find(word); at != std::string::npos;
         at = arguments.find(word, at + 1)) {
        auto letter = [&](std::size_t i) {
            return i < arguments.size() && arguments[i] >= 'A' && arguments[i] <= 'Z';
        };
        if ((at == 0 || !letter(at - 1)) && !letter(at + word.size())) return true;
    }
    return false;
}

const Command* find_command(const std::string& word);

void help_command(std::ostream& out, const std::string& word) {
    const Command* command = find_command(word);
    if (command == nullptr) {
        return say(out, "no command '" + quoted_word(word) + "' (help lists the commands)");
    }
    say(out, usage_of(*command));
    say(out, std::string("  ") + command->help);
    for (const ArgumentWord& argument : ARGUMENT_WORDS) {
        if (names_word(command->arguments, argument.word))
            say(out, std::string("  ") + argument.word + ": " + argument.meaning);
    }
    if (command->example != nullptr) say(out, std::string("  example: ") + command->example);
}

const Command* find_command(const std::string& word) {
    for (const Command& command : COMMANDS) {
        if (word == command.name || (command.alias != nullptr && word == command.alias)) {
            return &command;
        }
    }
    return nullptr;
}

}  // namespace

bool command_moves(const std::string& word) {
    const Command* command = find_command(word);
    return command != nullptr && command->moves;
}

bool run_command(Session& s, const std::string& line) {
    Words words = split_words(line);
    if (words.empty()) {
        if (s.repeat_line.empty()) return true;
        words = split_words(s.repeat_line);
    }
    const Command* command = find_command(words[0]);
    if (command == nullptr) {
        say(*s.out, "unknown command '" + quoted_word(words[0]) + "' (help lists the commands)");
        return true;
    }
    if (command->most_words != 0 && words.size() > command->most_words) {
        say(*s.out, "too many words for " + quoted_word(words[0]));
        return true;
    }
    std::uint64_t step = s.run.step();
    s.state_changed = false;
    begin_command();
    bool go_on = command->run(Call{s, words, line});
    end_command();
    // The displays follow every command that moved the run or changed it.
    if (go_on && (s.run.step() != step || s.state_changed)) show_displays(s);
    return go_on;
}

std::vector<std::string> completion_words(const Session& s) {
    std::vector<std::string> words;
    for (const Command& command : COMMANDS) {
        words.emplace_back(command.name);
        if (command.alias != nullptr) words.emplace_back(command.alias);
    }
    for (const Label& label : s.program.labels) words.push_back(label.name);
    return words;
}
