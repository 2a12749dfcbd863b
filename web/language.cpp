// The language server's answers in the page, from the server's own code:
// diagnostics, hover, completion and signature help about the source last given, each
// as the protocol's JSON text (lines from 0, columns in UTF-16 units, as
// the page's text counts them).
#include <emscripten/emscripten.h>

#include <string>

#include "features.hpp"
#include "source_model.hpp"

namespace {

SourceModel model = analyse_source("");
std::string answer;  // the last answer, valid until the next call

const char* hand_out(const Json& value) {
    answer = value.dump();
    return answer.c_str();
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void ls_source(const char* text) { model = analyse_source(text); }

// The list a publishDiagnostics notification would carry for the source.
EMSCRIPTEN_KEEPALIVE const char* ls_diagnostics() { return hand_out(diagnostics(model, Encoding{})); }

EMSCRIPTEN_KEEPALIVE const char* ls_hover(int line, int column) {
    return hand_out(hover(model, Encoding{}, line, column));
}

EMSCRIPTEN_KEEPALIVE const char* ls_completion(int line, int column) {
    return hand_out(completion(model, Encoding{}, line, column));
}

EMSCRIPTEN_KEEPALIVE const char* ls_signature_help(int line, int column) {
    return hand_out(signature_help(model, Encoding{}, line, column));
}

}  // extern "C"
