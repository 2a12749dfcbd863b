// The debug adapter: Debug Adapter Protocol messages on standard input,
// answers and events on standard output. A thread reads the input, and a
// run goes on on the adapter's worker, so that every request is answered
// while the program runs; the main thread handles the messages and the
// ends of runs in the order they came.
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

#include "adapter.hpp"
#include "command_line.hpp"
#include "message_reader.hpp"
#include "output_file.hpp"

namespace {

constexpr const char* USAGE = "Usage: debug-adapter";
constexpr const char* HELP =
    "Usage: debug-adapter\n"
    "Debug a stack machine program from an editor: reads Debug Adapter Protocol\n"
    "messages on standard input and answers on standard output.\n"
    "\n"
    "  -h, --help  show this text and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 when the client disconnects or the input ends, 1 when a message\n"
    "could not be written, 2 for a command line that cannot be used.\n";

int protocol_fd = STDOUT_FILENO;
std::atomic<int> output_error{0};  // the first failed write of a message

void write_all(const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        ssize_t n = write(protocol_fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int expected = 0;
            output_error.compare_exchange_strong(expected, n < 0 ? errno : EIO);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

void send(const Json& message) {
    std::string body = message.dump(-1, ' ', false, Json::error_handler_t::replace);
    write_all("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

// A message read, or (run_ended) the note that the worker's run ended.
struct Item {
    ReadResult message;
    bool run_ended = false;
};

struct Inbox {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Item> messages;
    bool closed = false;

    void put(Item item) {
        std::lock_guard lock(mutex);
        messages.push_back(std::move(item));
        ready.notify_one();
    }
};

// Reads standard input into messages; a pause request also sets the
// adapter's flag at once, after the request is in the inbox, so that its
// response comes before the stopped event of the run it ends.
void read_input(Inbox& inbox, Adapter& adapter) {
    MessageReader reader;
    char chunk[4096];
    for (;;) {
        ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) break;
        reader.feed(std::string_view(chunk, static_cast<std::size_t>(n)));
        for (ReadResult r = reader.next(); r.kind != ReadResult::NEED_MORE; r = reader.next()) {
            bool pause = false;
            if (r.kind == ReadResult::MESSAGE) {
                Json m = Json::parse(r.body, nullptr, false);
                pause = m.is_object() && m.value("command", Json("")) == "pause";
            }
            inbox.put({std::move(r), false});
            if (pause) adapter.pause_requested = 1;
        }
    }
    std::lock_guard lock(inbox.mutex);
    inbox.closed = true;
    inbox.ready.notify_one();
}

}  // namespace

int main(int argc, char** argv) {
    start_program("debug-adapter");
    if (auto status = read_server_command_line(argc, argv, "debug-adapter", USAGE, HELP))
        return *status;
    static Inbox inbox;
    static Adapter adapter(send, [] { inbox.put({ReadResult{}, true}); });
    std::thread reader(read_input, std::ref(inbox), std::ref(adapter));
    reader.detach();
    for (;;) {
        std::unique_lock lock(inbox.mutex);
        inbox.ready.wait(lock, [&] { return inbox.closed || !inbox.messages.empty(); });
        if (inbox.messages.empty()) break;
        Item item = std::move(inbox.messages.front());
        inbox.messages.pop_front();
        lock.unlock();
        if (item.run_ended) {
            adapter.finish_run();
            continue;
        }
        ReadResult& r = item.message;
        if (r.kind == ReadResult::MALFORMED) {
            adapter.handle_malformed(r.problem);
            continue;
        }
        if (!adapter.handle(r.body)) break;
    }
    // The input ended or the client disconnected: a run still going stops.
    adapter.shut_down();
    if (int error = output_error.load()) {
        report_output_failure(error);
        std::_Exit(OUTPUT_FAILED_STATUS);
    }
    std::_Exit(0);
}
