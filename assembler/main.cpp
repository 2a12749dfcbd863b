// Placeholder until the assembler lands.
int main() { return 0; }
