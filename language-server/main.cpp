// language-server: the Language Server Protocol over standard input and
// output for stack machine assembly sources. Messages are read as they
// arrive, answered in order, and every answer is written at once.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "command_line.hpp"
#include "message_reader.hpp"
#include "output_file.hpp"
#include "server.hpp"

namespace {

constexpr const char* USAGE = "Usage: language-server [--stdio]";

constexpr const char* HELP =
    "Usage: language-server [--stdio]\n"
    "Answer an editor's Language Server Protocol requests for stack machine\n"
    "assembly sources on standard input and output: the assembler's error and\n"
    "warnings as diagnostics, hover, completion, definitions, references,\n"
    "highlights and renames of labels, symbols, semantic tokens, formatting,\n"
    "quick fixes, inlay hints, signature help and folding ranges.\n"
    "\n"
    "  --stdio     talk over standard input and output (the only way; accepted\n"
    "              because editors pass it)\n"
    "  -h, --help  show this text and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 after the shutdown request (then the exit notification or the\n"
    "end of the input), 1 without it, 2 for a command line that cannot be used.\n";

bool write_all(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool send(const std::vector<std::string>& bodies) {
    std::string framed;
    for (const std::string& body : bodies)
        framed += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    return write_all(framed);
}

int serve() {
    // A client that goes away ends the server through a failed write.
    std::signal(SIGPIPE, SIG_IGN);
    MessageReader reader;
    Server server;
    std::string block(1 << 16, '\0');
    for (;;) {
        ssize_t n = ::read(STDIN_FILENO, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return server.exit_status() == 0 ? 0 : 1;
        reader.feed(std::string_view(block.data(), static_cast<std::size_t>(n)));
        for (ReadResult r = reader.next(); r.kind != ReadResult::NEED_MORE; r = reader.next()) {
            bool sent = send(r.kind == ReadResult::MESSAGE ? server.handle(r.body)
                                                           : server.malformed(r.problem));
            if (server.exit_requested()) return server.exit_status();
            if (!sent) {
                report_output_failure(errno != 0 ? errno : EIO);
                return OUTPUT_FAILED_STATUS;
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    start_program("language-server");
    if (auto status =
            read_server_command_line(argc, argv, "language-server", USAGE, HELP, {"stdio"}))
        return *status;
    return serve();
}
