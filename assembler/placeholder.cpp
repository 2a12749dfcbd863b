// Placeholder until the assembler modules land.
