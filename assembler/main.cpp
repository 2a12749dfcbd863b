#include "driver.hpp"

int main() { assembler_main(); }
