#include "command_line.hpp"
#include "console.hpp"
#include "driver.hpp"
#include "options.hpp"
#include "output_file.hpp"
#include "trace_file.hpp"

int main(int argc, char* argv[]) {
    start_program("simulator");
    SimulatorOptions options;
    if (std::optional<int> status = parse_simulator_options(argc, argv, options)) return *status;
    // A trace file that cannot be created ends the run before anything is read.
    if (options.trace_file != nullptr && !trace_can_open(options.trace_file)) return USAGE_STATUS;
    // A name on the command line takes the road of a typed one.
    if (options.object_file != nullptr) console_queue_line(options.object_file);
    simulator_main(options.trace_file, options.check);
}
