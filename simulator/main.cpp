#include "driver.hpp"

int main() { return simulator_main(); }
