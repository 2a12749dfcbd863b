// The debug adapter's input on arbitrary bytes: every message the reader
// frames goes to the adapter, which must answer with JSON and never throw.
// A launch of the nested-call test program comes first, so that requests
// reach the run and the code that shows its state.
#include <cstdint>
#include <string>
#include <string_view>

#include "adapter.hpp"
#include "fuzz_support.hpp"
#include "message_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Adapter adapter([](const Json& message) {
        if (!message.is_object() || !message.contains("type"))
            fuzz_fail("a message without a type");
    });
    adapter.handle(
        R"({"seq":1,"type":"request","command":"launch","arguments":{"program":")" FUZZ_PROGRAM
        R"("}})");
    MessageReader reader;
    reader.feed(std::string_view(reinterpret_cast<const char*>(data), size));
    for (ReadResult r = reader.next(); r.kind != ReadResult::NEED_MORE; r = reader.next()) {
        if (r.kind == ReadResult::MALFORMED)
            adapter.handle_malformed(r.problem);
        else if (!adapter.handle(r.body))
            break;
    }
    return 0;
}
