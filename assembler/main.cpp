#include "console.hpp"
#include "driver.hpp"
#include "options.hpp"
#include "output_file.hpp"

int main(int argc, char* argv[]) {
    start_program("assembler");
    AssemblerOptions options;
    if (std::optional<int> status = parse_assembler_options(argc, argv, options)) return *status;
    // A name on the command line takes the road of a typed one.
    if (options.source_file != nullptr) console_queue_line(options.source_file);
    assembler_main(options);
}
