#include "files.hpp"

#include <cstring>

#include "console.hpp"
#include "ending_signals.hpp"

bool close_stream(std::FILE*& stream) {
    bool closed = stream == nullptr || std::fclose(stream) == 0;
    stream = nullptr;
    return closed;
}

void error_exit(ProgramFiles& files, const char* message) {
    close_stream(files.source);
    close_stream(files.pass1);
    if (files.pass1_output.stream() != nullptr) files.pass1_output.commit();
    // Kept for the student to read, whatever ends the exit.
    keep_at_signal(files.pass1_removal);
    files.object.abandon();
    files.listing.abandon();
    console_write(message, std::strlen(message));
    console_exit(FAILURE_STATUS);
}
