// Small pieces shared by the requests: positions and ranges as the
// protocol's JSON values (columns in the client's encoding), a token's text
// as written, and the protocol's enumerations the server uses.
#pragma once

#include <string_view>

#include "features.hpp"

// Diagnostic severities.
constexpr int SEVERITY_ERROR = 1;
constexpr int SEVERITY_WARNING = 2;

inline Json position(const SourceModel& model, const Encoding& encoding, int line,
                     int byte_column) {
    return {{"line", line}, {"character", encoding.units(model.source.line(line), byte_column)}};
}

inline Json range(const SourceModel& model, const Encoding& encoding, int line, int from, int to) {
    return {{"start", position(model, encoding, line, from)},
            {"end", position(model, encoding, line, to)}};
}

inline Json token_range(const SourceModel& model, const Encoding& encoding, const SourceToken& t) {
    return range(model, encoding, t.line, t.column, t.column + t.length);
}

inline Json line_range(const SourceModel& model, const Encoding& encoding, int line) {
    return range(model, encoding, line, 0, static_cast<int>(model.source.line(line).size()));
}

inline std::string_view written(const SourceModel& model, const SourceToken& t) {
    return model.source.line(t.line).substr(static_cast<std::size_t>(t.column),
                                            static_cast<std::size_t>(t.length));
}

inline bool is_label(const SourceToken* t) {
    return t != nullptr && (t->role == Role::LABEL_DEFINITION || t->role == Role::LABEL_USE);
}

// The token at a position given in the client's encoding, or nullptr.
inline const SourceToken* token_at(const SourceModel& model, const Encoding& encoding, int line,
                                   int character) {
    return model.token_at(line, encoding.byte_column(model.source.line(line), character));
}

// Same result of assembling: success, error message and object code.
inline bool assembles_alike(const AssemblyResult& a, const AssemblyResult& b) {
    return a.ok == b.ok && a.error_message == b.error_message && a.object_code == b.object_code;
}
