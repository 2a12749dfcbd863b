#include "stop.hpp"

#include <cstdarg>
#include <cstdio>

void stop_assembly(int line, const char* format, ...) {
    char message[512];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    throw AssemblyStop{length > 0 ? std::string(message) : std::string(), line};
}
