// The program of the link check (tests/CMakeLists.txt): every library of the project linked
// whole. That it links at all is the check; that it runs shows the libraries' static
// initialisers start side by side.
int main() { return 0; }
