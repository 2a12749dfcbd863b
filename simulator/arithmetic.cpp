#include "arithmetic.hpp"

void division_by_zero_stop() {
    fatal_stop("\nERROR\nDevide by zero\n", PositionLine::NONE, 0, 0, true);
}
