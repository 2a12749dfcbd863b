#include "machine/call_arguments.hpp"

#include "hex_text.hpp"

std::string call_arguments_text(const Machine& m, const OpenCall& call, const StackOrigins& origins,
                                const std::vector<std::string>& names,
                                std::span<const std::int32_t> line_of_address) {
    if (names.empty()) return "";
    // Only while the return address is where the call pushed it: a routine
    // that took it has taken its arguments too, and their bytes may be
    // pushed over.
    unsigned at = call.sp_after + 1u;
    if (m.SP == 0 || m.SP > call.sp_after || at + 1u > STACK_TOP ||
        (m.memory[at] | m.memory[at + 1u] << 8) != call.return_address)
        return "";
    std::string text;
    unsigned address = call.sp_after + 3u;
    for (std::size_t k = names.size(); k-- > 0; ++address) {
        std::string item = names[k] + " = ";
        if (address > STACK_TOP) {
            item += "not on the stack";
        } else {
            item += std::to_string(m.memory[address]);
            std::uint16_t by = origins.pushed_by[address - STACK_BOTTOM];
            if (by != StackOrigins::NONE) {
                int line = by < line_of_address.size() ? line_of_address[by] : 0;
                item += " from " + (line > 0 ? "line " + std::to_string(line) : hex4(by));
            }
        }
        if (k + 1 != names.size()) item += ", ";
        text.insert(0, item);
    }
    return "(" + text + ")";
}
