#include "server.hpp"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>

#include "message_reader.hpp"
#include "version.hpp"

namespace {

// JSON-RPC and protocol error codes.
constexpr int PARSE_ERROR = -32700;
constexpr int INVALID_REQUEST = -32600;
constexpr int METHOD_NOT_FOUND = -32601;
constexpr int INVALID_PARAMS = -32602;
constexpr int INTERNAL_ERROR = -32603;
constexpr int SERVER_NOT_INITIALIZED = -32002;
constexpr int REQUEST_FAILED = -32803;

constexpr int SYNC_FULL = 1;

constexpr const char* SEMANTIC_TOKENS = "textDocument/semanticTokens/full";

// A request whose answer is an error response.
struct ErrorReply {
    int code;
    std::string message;
};

std::string text_of(const Json& message) {
    return message.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string response(const Json& id, const Json& result) {
    return text_of({{"jsonrpc", "2.0"}, {"id", id}, {"result", result}});
}

std::string error_response(const Json& id, int code, const std::string& message) {
    return text_of(
        {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

const Json& member(const Json& object, const char* key) {
    if (!object.is_object() || !object.contains(key))
        throw ErrorReply{INVALID_PARAMS, std::string("missing ") + key};
    return object[key];
}

std::string string_member(const Json& object, const char* key) {
    const Json& value = member(object, key);
    if (!value.is_string()) throw ErrorReply{INVALID_PARAMS, std::string(key) + " is not a string"};
    return value.get<std::string>();
}

// An integer member, clamped to int.
int int_member(const Json& object, const char* key) {
    const Json& value = member(object, key);
    if (!value.is_number_integer())
        throw ErrorReply{INVALID_PARAMS, std::string(key) + " is not an integer"};
    if (value.is_number_unsigned())
        return static_cast<int>(std::min<std::uint64_t>(value.get<std::uint64_t>(), INT_MAX));
    return static_cast<int>(std::clamp<std::int64_t>(value.get<std::int64_t>(), INT_MIN, INT_MAX));
}

struct TextPosition {
    std::string uri;
    int line, character;
};

// The lines of the request's range.
std::pair<int, int> range_lines(const Json& params) {
    const Json& range = member(params, "range");
    return {int_member(member(range, "start"), "line"), int_member(member(range, "end"), "line")};
}

TextPosition text_position(const Json& params) {
    const Json& position = member(params, "position");
    return {string_member(member(params, "textDocument"), "uri"), int_member(position, "line"),
            int_member(position, "character")};
}

bool offers_utf8(const Json& params) {
    const Json* encodings = nullptr;
    if (params.is_object() && params.contains("capabilities")) {
        const Json& capabilities = params["capabilities"];
        if (capabilities.is_object() && capabilities.contains("general") &&
            capabilities["general"].is_object() &&
            capabilities["general"].contains("positionEncodings"))
            encodings = &capabilities["general"]["positionEncodings"];
    }
    if (encodings == nullptr || !encodings->is_array()) return false;
    for (const Json& e : *encodings) {
        if (e == "utf-8") return true;
    }
    return false;
}

Json capabilities(const Encoding& encoding) {
    return {
        {"positionEncoding", encoding.utf16 ? "utf-16" : "utf-8"},
        {"textDocumentSync", {{"openClose", true}, {"change", SYNC_FULL}}},
        {"hoverProvider", true},
        {"completionProvider", Json::object()},
        {"definitionProvider", true},
        {"referencesProvider", true},
        {"renameProvider", {{"prepareProvider", true}}},
        {"documentSymbolProvider", true},
        {"semanticTokensProvider", {{"legend", semantic_tokens_legend()}, {"full", true}}},
        {"documentFormattingProvider", true},
        {"documentRangeFormattingProvider", true},
        {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}},
        {"inlayHintProvider", true},
        {"signatureHelpProvider", {{"triggerCharacters", {" "}}}},
        {"documentHighlightProvider", true},
        {"foldingRangeProvider", true},
    };
}

// Applies one entry of didChange: the whole text, or a range replaced.
void apply_change(std::string& text, const Json& change, const Encoding& encoding) {
    std::string replacement = string_member(change, "text");
    if (!change.contains("range")) {
        text = std::move(replacement);
        return;
    }
    SourceText source(text);
    auto offset = [&](const Json& position) {
        int line = std::clamp(int_member(position, "line"), 0, source.line_count());
        if (line == source.line_count()) return text.size();
        return source.line_starts[static_cast<std::size_t>(line)] +
               static_cast<std::size_t>(
                   encoding.byte_column(source.line(line), int_member(position, "character")));
    };
    const Json& range = member(change, "range");
    std::size_t from = offset(member(range, "start"));
    std::size_t to = std::max(from, offset(member(range, "end")));
    text.replace(from, to - from, replacement);
}

// A document's version from its identifier, when it is a number.
void note_version(std::map<std::string, Json>& versions, const std::string& uri, const Json& item) {
    if (item.is_object() && item.contains("version") && item["version"].is_number_integer())
        versions[uri] = item["version"];
    else
        versions.erase(uri);
}

}  // namespace

std::vector<std::string> Server::malformed(const std::string& problem) const {
    return {error_response(nullptr, PARSE_ERROR, "unreadable message: " + problem)};
}

const SourceModel& Server::document(const Json& params) const {
    std::string uri = string_member(member(params, "textDocument"), "uri");
    if (auto refused = refused_.find(uri); refused != refused_.end())
        throw ErrorReply{REQUEST_FAILED, refused->second};
    auto found = documents_.find(uri);
    if (found == documents_.end()) throw ErrorReply{REQUEST_FAILED, "not an open document: " + uri};
    return *found->second;
}

void Server::take_document(const std::string& uri, std::string text,
                           std::vector<std::string>& out) {
    documents_.erase(uri);
    refused_.erase(uri);
    std::size_t others = 0;
    for (const auto& [name, model] : documents_) others += model->source.text.size();
    auto mib = [](std::size_t bytes) {
        return bytes % (1 << 20) == 0 ? std::to_string(bytes >> 20) + " MiB"
                                      : std::to_string(bytes) + " bytes";
    };
    if (text.size() > document_limit_) {
        refused_[uri] = "document too large: " + std::to_string(text.size()) +
                        " bytes (the limit is " + mib(document_limit_) + ")";
    } else if (others + text.size() > open_documents_limit_) {
        refused_[uri] =
            "open documents too large together: " + std::to_string(others + text.size()) +
            " bytes (the limit is " + mib(open_documents_limit_) + "); close some";
    } else {
        documents_[uri] = std::make_unique<SourceModel>(analyse_source(std::move(text)));
    }
    publish(uri, out);
}

void Server::publish(const std::string& uri, std::vector<std::string>& out) const {
    auto found = documents_.find(uri);
    Json list = found != documents_.end() ? diagnostics(*found->second, encoding_) : Json::array();
    if (auto refused = refused_.find(uri); refused != refused_.end()) {
        Json start = {{"line", 0}, {"character", 0}};
        list.push_back({{"range", {{"start", start}, {"end", start}}},
                        {"severity", 1},
                        {"source", "language-server"},
                        {"message", refused->second}});
    }
    Json params = {{"uri", uri}, {"diagnostics", list}};
    // The version the diagnostics are of, so that the editor drops late ones.
    if (auto version = versions_.find(uri); found != documents_.end() && version != versions_.end())
        params["version"] = version->second;
    out.push_back(text_of(
        {{"jsonrpc", "2.0"}, {"method", "textDocument/publishDiagnostics"}, {"params", params}}));
}

void Server::notify(const std::string& method, const Json& params, std::vector<std::string>& out) {
    if (method == "exit") {
        exit_requested_ = true;
        return;
    }
    if (!initialized_ || shut_down_) return;
    if (method == "textDocument/didOpen") {
        const Json& item = member(params, "textDocument");
        std::string uri = string_member(item, "uri");
        note_version(versions_, uri, item);
        take_document(uri, string_member(item, "text"), out);
    } else if (method == "textDocument/didChange") {
        std::string uri = string_member(member(params, "textDocument"), "uri");
        auto found = documents_.find(uri);
        const Json& changes = member(params, "contentChanges");
        if (!changes.is_array()) return;
        // A refused document has no text to change: only a whole new text
        // (the last change without a range) can bring it back.
        std::string text;
        if (found != documents_.end()) {
            text = found->second->source.text;
        } else if (!refused_.contains(uri) || changes.empty() || changes.back().contains("range")) {
            return;
        }
        for (const Json& change : changes) apply_change(text, change, encoding_);
        note_version(versions_, uri, member(params, "textDocument"));
        take_document(uri, std::move(text), out);
    } else if (method == "textDocument/didClose") {
        std::string uri = string_member(member(params, "textDocument"), "uri");
        versions_.erase(uri);
        bool open = documents_.erase(uri) + refused_.erase(uri) > 0;
        if (open) publish(uri, out);
    }
    // initialized, $/cancelRequest, $/setTrace, didSave and the rest: nothing to do.
}

Json Server::dispatch(const std::string& method, const Json& params,
                      std::vector<std::string>& out) {
    if (method == "initialize") {
        if (initialized_) throw ErrorReply{INVALID_REQUEST, "initialize was already received"};
        initialized_ = true;
        encoding_.utf16 = !offers_utf8(params);
        if (params.is_object() && params.contains("initializationOptions")) {
            const Json& options = params["initializationOptions"];
            hint_options_.instructions = options.is_object() &&
                                         options.contains("instructionHints") &&
                                         options["instructionHints"] == true;
        }
        return {{"capabilities", capabilities(encoding_)},
                {"serverInfo", {{"name", "language-server"}, {"version", PROJECT_VERSION_TEXT}}}};
    }
    if (!initialized_) throw ErrorReply{SERVER_NOT_INITIALIZED, "initialize comes first"};
    if (shut_down_) throw ErrorReply{INVALID_REQUEST, "the server is shut down"};
    if (method == "shutdown") {
        shut_down_ = true;
        documents_.clear();
        refused_.clear();
        return nullptr;
    }
    (void)out;
    if (method == "textDocument/documentSymbol")
        return document_symbols(document(params), encoding_);
    if (method == "textDocument/formatting") return formatting(document(params), encoding_);
    if (method == "textDocument/foldingRange") return folding_ranges(document(params));
    if (method == "textDocument/rangeFormatting") {
        auto [first, last] = range_lines(params);
        // A range that ends at the start of a line (a selection of whole
        // lines) leaves that line alone.
        if (last > first && int_member(member(member(params, "range"), "end"), "character") == 0)
            --last;
        return formatting(document(params), encoding_, first, last);
    }
    if (method == "textDocument/inlayHint") {
        auto [first, last] = range_lines(params);
        return inlay_hints(document(params), encoding_, first, last, hint_options_);
    }
    if (method == "textDocument/codeAction") {
        auto [first, last] = range_lines(params);
        const Json& context = member(params, "context");
        return code_actions(document(params), encoding_,
                            string_member(member(params, "textDocument"), "uri"), first, last,
                            context.is_object() && context.contains("diagnostics")
                                ? context["diagnostics"]
                                : Json::array());
    }

    static const char* const AT_POSITION[] = {
        "textDocument/hover",         "textDocument/definition",        "textDocument/references",
        "textDocument/rename",        "textDocument/prepareRename",     "textDocument/completion",
        "textDocument/signatureHelp", "textDocument/documentHighlight",
    };
    if (std::find(std::begin(AT_POSITION), std::end(AT_POSITION), method) == std::end(AT_POSITION))
        throw ErrorReply{METHOD_NOT_FOUND, "unknown method: " + method};
    const SourceModel& model = document(params);
    TextPosition at = text_position(params);
    if (method == "textDocument/hover") return hover(model, encoding_, at.line, at.character);
    if (method == "textDocument/completion")
        return completion(model, encoding_, at.line, at.character);
    if (method == "textDocument/signatureHelp")
        return signature_help(model, encoding_, at.line, at.character);
    if (method == "textDocument/documentHighlight")
        return document_highlight(model, encoding_, at.line, at.character);
    if (method == "textDocument/definition")
        return definition(model, encoding_, at.uri, at.line, at.character);
    if (method == "textDocument/references") {
        bool declarations = false;
        if (params.contains("context") && params["context"].is_object()) {
            const Json& context = params["context"];
            declarations =
                context.contains("includeDeclaration") && context["includeDeclaration"] == true;
        }
        return references(model, encoding_, at.uri, at.line, at.character, declarations);
    }
    if (method == "textDocument/prepareRename")
        return prepare_rename(model, encoding_, at.line, at.character);
    try {
        return rename(model, encoding_, at.uri, at.line, at.character,
                      string_member(params, "newName"));
    } catch (const RequestRefused& refused) {
        throw ErrorReply{REQUEST_FAILED, refused.message};
    }
}

std::vector<std::string> Server::handle(std::string_view body) {
    // Out of memory while handling one message: that message is answered
    // with an error and the server goes on with the next.
    try {
        return handle_message(body);
    } catch (const std::bad_alloc&) {
        // The request's id, read from the text, so that the client is not
        // left waiting for an answer.
        Json id = Json::parse(top_level_scalar(body, "id"), nullptr, false);
        if (!id.is_number_integer() && !id.is_string()) id = nullptr;
        return {error_response(id, INTERNAL_ERROR, "out of memory handling the message")};
    }
}

std::vector<std::string> Server::handle_message(std::string_view body) {
    std::vector<std::string> out;
    if (std::string problem = nesting_problem(body); !problem.empty()) return malformed(problem);
    Json message = Json::parse(body, nullptr, false);
    if (message.is_discarded()) return malformed("the body is not JSON");
    Json id = nullptr;
    try {
        if (!message.is_object()) throw ErrorReply{INVALID_REQUEST, "a message is an object"};
        bool has_id = message.contains("id");
        if (has_id) {
            id = message["id"];
            if (!id.is_number_integer() && !id.is_string()) {
                id = nullptr;
                throw ErrorReply{INVALID_REQUEST, "an id is a number or a string"};
            }
        }
        if (!message.contains("method")) {
            // A response to a request of ours; the server sends none.
            if (has_id && (message.contains("result") || message.contains("error"))) return out;
            throw ErrorReply{INVALID_REQUEST, "missing method"};
        }
        if (!message["method"].is_string())
            throw ErrorReply{INVALID_REQUEST, "method is not a string"};
        std::string method = message["method"].get<std::string>();
        const Json params = message.contains("params") ? message["params"] : Json::object();
        if (!has_id) {
            try {
                notify(method, params, out);
            } catch (const ErrorReply&) {
                // A notification with a field missing or wrong gets no answer.
            } catch (const std::exception&) {
            }
            return out;
        }
        if (method == SEMANTIC_TOKENS && initialized_ && !shut_down_) {
            // Answered from text, not a JSON value (see semantic_tokens_text).
            out.push_back("{\"id\":" + text_of(id) + ",\"jsonrpc\":\"2.0\",\"result\":" +
                          semantic_tokens_text(document(params), encoding_) + "}");
        } else {
            out.push_back(response(id, dispatch(method, params, out)));
        }
    } catch (const ErrorReply& error) {
        out.push_back(error_response(id, error.code, error.message));
    } catch (const Json::exception& error) {
        out.push_back(error_response(id, INVALID_PARAMS, error.what()));
    } catch (const std::bad_alloc&) {
        throw;  // answered by handle
    } catch (const std::exception& error) {
        out.push_back(error_response(id, INTERNAL_ERROR, error.what()));
    }
    return out;
}
