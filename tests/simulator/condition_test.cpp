// The stop conditions of breakpoints and watchpoints (machine/condition.hpp):
// one table of texts, each either the condition it parses to and whether it
// holds on one machine, or the start of the message that refuses it; and
// the locations a label table resolves (label, label+N, numbers).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <variant>

#include "machine/condition.hpp"
#include "object_code.hpp"

namespace {

std::optional<std::uint16_t> label(std::string_view name) {
    if (name == "n") return std::uint16_t{0x20};
    if (name == "total") return std::uint16_t{0x30};
    return std::nullopt;
}

std::variant<Condition, std::string> parse(const std::string& text) {
    return parse_condition(text, [](const std::string& loc, std::string& error) {
        return resolve_location(loc, MEMORY_SIZE - 1, label, error);
    });
}

TEST(Condition, ParsesEachFormAndTestsItOnTheMachine) {
    auto m = std::make_unique<Machine>();
    m->memory[0x20] = 3;
    m->memory[0x30] = 0x34;
    m->memory[0x31] = 0x12;
    m->PC = 0x12;
    m->SP = 0x3FFD;
    m->memory[0x3FFE] = 10;
    struct Row {
        const char* text;
        bool holds;
    };
    const Row held[] = {
        {"[n] == 3", true},
        {"[n]==3", true},
        {"  [ n ] != 3 ", false},
        {"[0x20] < 4", true},
        {"[32] <= 2", false},
        {"[n] > 2", true},
        {"[n] >= 4", false},
        {"[total+1] == 0x12", true},
        {"word [total] == 0x1234", true},
        {"word[total] > 4660", false},
        {"sp == 0x3FFD", true},
        {"sp < 0x3FF0", false},
        {"pc == 18", true},
        {"pc != 0x12", false},
        {"top == 10", true},
        {"top >= 11", false},
    };
    for (const Row& row : held) {
        SCOPED_TRACE(row.text);
        auto parsed = parse(row.text);
        ASSERT_TRUE(std::holds_alternative<Condition>(parsed)) << std::get<std::string>(parsed);
        EXPECT_EQ(std::get<Condition>(parsed).holds(*m), row.holds);
    }
    // With the stack empty, top holds for nothing.
    m->SP = 0;
    EXPECT_FALSE(std::get<Condition>(parse("top == 0")).holds(*m));
    EXPECT_FALSE(std::get<Condition>(parse("top != 0")).holds(*m));
    EXPECT_EQ(std::get<Condition>(parse(" sp == 0 ")).text, "sp == 0");

    struct Refused {
        const char* text;
        const char* message;
    };
    const Refused refused[] = {
        {"", "no condition after if"},
        {"[n] 3", "no comparison in '[n] 3'"},
        {"[n] = 3", "no comparison in '[n] = 3'"},
        {"[n] =< 3", "no comparison in '[n] =< 3'"},
        {"[n] === 3", "no comparison in '[n] === 3'"},
        {"x == 3", "'x' is not a value to compare"},
        {"[] == 3", "no location between [ and ]"},
        {"[m] == 3", "unknown label 'm'"},
        {"[n+z] == 3", "'z' is not an offset (label+N)"},
        {"[0x4000] == 3", "address 0x4000 out of range (0 to 16383)"},
        {"[n] == three", "'three' is not a number (decimal or 0x)"},
        {"[n] == 256", "256 is more than a byte holds (255)"},
        {"top == 0x100", "0x100 is more than a byte holds (255)"},
        {"word [n] == 65536", "65536 is more than a word holds (65535)"},
        {"sp == ", "'' is not a number (decimal or 0x)"},
    };
    for (const Refused& row : refused) {
        SCOPED_TRACE(row.text);
        auto parsed = parse(row.text);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
        EXPECT_EQ(std::get<std::string>(parsed).rfind(row.message, 0), 0u)
            << std::get<std::string>(parsed);
    }
}

}  // namespace
