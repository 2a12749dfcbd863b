// What the server answers about one document, as JSON values of the
// protocol: diagnostics, hover, completion, symbols, semantic tokens,
// definitions, references, renames and the layout of the examples.
#pragma once

#include <climits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "source_model.hpp"

using Json = nlohmann::json;

// Columns on the wire count UTF-16 code units unless the client took UTF-8.
struct Encoding {
    bool utf16 = true;
    int units(std::string_view line, int byte_column) const;
    int byte_column(std::string_view line, int units) const;
};

// A request that is well formed but cannot be carried out; answered with
// the protocol's RequestFailed error and this message.
struct RequestRefused {
    std::string message;
};

// The semantic token types and modifiers, in the legend's order.
Json semantic_tokens_legend();

Json diagnostics(const SourceModel& model, const Encoding& encoding);
Json hover(const SourceModel& model, const Encoding& encoding, int line, int column);
// Nothing in a comment; instructions, directives and definitions of labels
// used but not defined at the start of a line; labels where an operand goes.
Json completion(const SourceModel& model, const Encoding& encoding, int line, int character);
Json document_symbols(const SourceModel& model, const Encoding& encoding);
// The result of a semanticTokens/full request, as JSON text.
std::string semantic_tokens_text(const SourceModel& model, const Encoding& encoding);
Json definition(const SourceModel& model, const Encoding& encoding, const std::string& uri,
                int line, int column);
Json references(const SourceModel& model, const Encoding& encoding, const std::string& uri,
                int line, int column, bool include_definitions);
Json prepare_rename(const SourceModel& model, const Encoding& encoding, int line, int column);
// Throws RequestRefused for a name the assembler would not take as a label,
// one already defined, or a position that is not on a label.
Json rename(const SourceModel& model, const Encoding& encoding, const std::string& uri, int line,
            int column, const std::string& new_name);

// The text laid out in the examples' columns: labels from column 0,
// instructions and directives from column 8 (or one blank after a longer
// label; a run of db and dw lines lines up behind its longest label),
// comments behind code from column 24. Lines the assembler reads in pieces,
// lines after `end` and lines it stops at are left as they are; so is all
// the text when the result would not assemble to the same object code.
std::string formatted_text(const SourceModel& model);
// The layout's edits, only of the lines first_line to last_line when given.
Json formatting(const SourceModel& model, const Encoding& encoding, int first_line = 0,
                int last_line = INT_MAX);

// A quick fix for each common error or warning on the lines first_line to
// last_line, each checked to assemble (or stop only further down); the
// client's diagnostics of a fixed line are named in its action.
Json code_actions(const SourceModel& model, const Encoding& encoding, const std::string& uri,
                  int first_line, int last_line, const Json& diagnostics);

// Options the client may give in initializationOptions.
struct HintOptions {
    bool instructions = false;  // clocks and stack effect behind each instruction
};
// The address of every line with code or data, as the listing gives it, on
// the lines first_line to last_line; with the option, each instruction's
// clocks and stack effect.
Json inlay_hints(const SourceModel& model, const Encoding& encoding, int first_line, int last_line,
                 const HintOptions& options);
// After a mnemonic and a blank: its operand and stack effect; null elsewhere.
Json signature_help(const SourceModel& model, const Encoding& encoding, int line, int column);
// A label's definitions (write) and uses (read).
Json document_highlight(const SourceModel& model, const Encoding& encoding, int line, int column);
// Blocks of comment lines, and each subroutine (a call target) from its
// label to its ret.
Json folding_ranges(const SourceModel& model);
