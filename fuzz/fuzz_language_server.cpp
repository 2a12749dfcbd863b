// The language server's input on arbitrary bytes: the message reader must
// frame the same messages however the bytes are cut, and the server must
// answer every message it frames with valid JSON and never throw. The
// server is initialized first, so that requests reach the document code;
// its document limits are small enough for the inputs to pass them.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_support.hpp"
#include "message_reader.hpp"
#include "server.hpp"

namespace {

using Framed = std::vector<std::pair<ReadResult::Kind, std::string>>;

Framed frame_all(std::string_view input, std::size_t piece) {
    MessageReader reader;
    Framed seen;
    for (std::size_t at = 0; at < input.size(); at += piece) {
        reader.feed(input.substr(at, piece));
        for (ReadResult r = reader.next(); r.kind != ReadResult::NEED_MORE; r = reader.next())
            seen.emplace_back(r.kind, r.kind == ReadResult::MESSAGE ? r.body : r.problem);
    }
    return seen;
}

void check_answers(const std::vector<std::string>& bodies) {
    for (const std::string& body : bodies) {
        if (Json::parse(body, nullptr, false).is_discarded())
            fuzz_fail("the server sent a body that is not JSON");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    Framed whole = frame_all(input, size == 0 ? 1 : size);
    Framed cut = frame_all(input, size == 0 ? 1 : data[0] % 13 + 1);
    if (whole != cut) fuzz_fail("the reader frames differently when the bytes are cut");

    // Limits the inputs reach: a document past 4 KiB, or past 16 KiB open.
    Server server(4096, 16384);
    check_answers(server.handle(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{}})"));
    for (const auto& [kind, text] : whole) {
        check_answers(kind == ReadResult::MESSAGE ? server.handle(text) : server.malformed(text));
        if (server.exit_requested()) break;
    }
    return 0;
}
