// Inlay hints (each line's address as the listing gives it; with the
// option, each instruction's clocks and stack effect) and signature help
// (an instruction's operand and stack effect while its operand is typed).
#include <charconv>
#include <string>

#include "features.hpp"
#include "instruction_notes.hpp"
#include "opcode_table.hpp"
#include "protocol_values.hpp"
#include "scanner.hpp"

namespace {

// The operand of each 2- and 3-byte instruction, in the manual's words.
struct OperandNote {
    std::string_view mnemonic, operand;
};
constexpr OperandNote OPERAND_NOTES[] = {
    {"ldi", "byte n"},
    {"ldiw", "word w"},
    {"ldd", "address a"},
    {"lddw", "address a"},
    {"lda", "address p of a pointer"},
    {"sta", "address p of a pointer"},
    {"std", "address a"},
    {"stdw", "address a"},
    {"in", "port n"},
    {"out", "port n"},
    {"ldaw", "address p of a pointer"},
    {"staw", "address p of a pointer"},
    {"call", "address w"},
    {"jmp", "address w"},
    {"jmr", "byte offset d"},
    {"jz", "address w"},
    {"jnz", "address w"},
    {"jo", "address w"},
    {"jno", "address w"},
    {"jc", "address w"},
    {"jnc", "address w"},
    {"js", "address w"},
    {"jns", "address w"},
};

std::string_view operand_note(std::string_view mnemonic) {
    for (const OperandNote& o : OPERAND_NOTES) {
        if (o.mnemonic == mnemonic) return o.operand;
    }
    return {};
}

bool places_bytes(const SourceToken& t) {
    return t.role == Role::MNEMONIC ||
           (t.role == Role::DIRECTIVE && (t.name == "db" || t.name == "dw"));
}

// The address at the start of every listing line (index: assembler line
// - 1), as far as pass 1 got.
std::vector<int> listing_addresses(const std::string& listing) {
    std::vector<int> addresses;
    for (std::size_t at = 0; at < listing.size();) {
        std::size_t end = std::min(listing.find('\n', at), listing.size());
        std::size_t colon = listing.find(": ", at);
        int address = 0;
        const char* first = listing.data() + at;
        while (first < listing.data() + end && *first == ' ') ++first;
        auto [last, error] = std::from_chars(first, listing.data() + end, address);
        if (colon >= end || error != std::errc() || last != listing.data() + colon) break;
        addresses.push_back(address);
        at = end + 1;
    }
    return addresses;
}

// The token that ends an instruction: its operand where pass 2 reads one.
const SourceToken& instruction_end(const SourceModel& model, std::size_t mnemonic) {
    const OpcodeEntry* entry = find_mnemonic(model.tokens[mnemonic].name.c_str());
    std::size_t next = mnemonic + 1;
    while (next < model.tokens.size() && model.tokens[next].role == Role::LABEL_DEFINITION) ++next;
    if (entry != nullptr && entry->length > 1 && next < model.tokens.size() &&
        model.tokens[next].line == model.tokens[mnemonic].line &&
        (model.tokens[next].role == Role::NUMBER || model.tokens[next].role == Role::LABEL_USE))
        return model.tokens[next];
    return model.tokens[mnemonic];
}

}  // namespace

Json inlay_hints(const SourceModel& model, const Encoding& encoding, int first_line, int last_line,
                 const HintOptions& options) {
    Json hints = Json::array();
    const std::vector<int> addresses = listing_addresses(model.assembly.listing);
    constexpr int PIECE = SOURCE_LINE_CAPACITY - 1;
    std::vector<int> first_piece(static_cast<std::size_t>(model.source.line_count()), -1);
    for (std::size_t i = model.line_of_assembler_line.size(); i-- > 0;)
        first_piece[static_cast<std::size_t>(model.line_of_assembler_line[i])] =
            static_cast<int>(i);
    int hinted_line = -1;
    for (std::size_t i = 0; i < model.tokens.size(); ++i) {
        const SourceToken& t = model.tokens[i];
        if (t.line < first_line || t.line > last_line || !places_bytes(t)) continue;
        if (t.line != hinted_line) {
            hinted_line = t.line;
            int piece_number = first_piece[static_cast<std::size_t>(t.line)] + t.column / PIECE;
            auto piece = static_cast<std::size_t>(piece_number);
            if (piece < addresses.size()) {
                hints.push_back({{"position", position(model, encoding, t.line, 0)},
                                 {"label", std::to_string(addresses[piece]) + ":"},
                                 {"paddingRight", true}});
            }
        }
        const InstructionNote* note = find_instruction_note(t.name);
        const OpcodeEntry* entry = find_mnemonic(t.name.c_str());
        if (!options.instructions || t.role != Role::MNEMONIC || note == nullptr ||
            entry == nullptr)
            continue;
        const SourceToken& end = instruction_end(model, i);
        hints.push_back({{"position", position(model, encoding, end.line, end.column + end.length)},
                         {"label", std::to_string(entry->clocks) +
                                       (entry->clocks == 1 ? " clock " : " clocks ") +
                                       std::string(note->stack)},
                         {"paddingLeft", true}});
    }
    return hints;
}

Json signature_help(const SourceModel& model, const Encoding& encoding, int line, int column) {
    int at = encoding.byte_column(model.source.line(line), column);
    const SourceToken* mnemonic = nullptr;
    const SourceToken* after = nullptr;  // the one token between the mnemonic and the cursor
    for (const SourceToken& t : model.tokens) {
        if (t.line < line) continue;
        if (t.line > line || t.column >= at) break;
        if (t.role == Role::MNEMONIC && t.column + t.length < at) {
            mnemonic = &t;
            after = nullptr;
        } else if (mnemonic != nullptr) {
            // Only the operand being typed may stand there.
            bool operand = (t.role == Role::NUMBER || t.role == Role::LABEL_USE) &&
                           after == nullptr && t.column + t.length >= at;
            if (!operand) mnemonic = nullptr;
            after = &t;
        }
    }
    if (mnemonic == nullptr) return nullptr;
    const InstructionNote* note = find_instruction_note(mnemonic->name);
    if (note == nullptr) return nullptr;
    std::string_view operand = operand_note(mnemonic->name);
    std::string label = mnemonic->name;
    if (!operand.empty()) label.append(" ").append(operand);
    label.append("  ").append(note->stack);
    Json signature = {
        {"label", label},
        {"documentation",
         {{"kind", "markdown"},
          {"value", std::string(note->description) + "\n\nStack: `" + std::string(note->stack) +
                        "`\n\nFlags: " + std::string(note->flags)}}},
        {"parameters", Json::array()}};
    if (!operand.empty()) signature["parameters"].push_back({{"label", std::string(operand)}});
    Json help = {{"signatures", {signature}}, {"activeSignature", 0}};
    if (!operand.empty()) help["activeParameter"] = 0;
    return help;
}
