// The floor of the start-up benchmarks: a C++ program that does nothing.
int main() { return 0; }
