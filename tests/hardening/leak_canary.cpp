// Leaks one block on purpose. The suite expects LeakSanitizer to report it:
// a leak run whose leak check is silently off would pass everything.
#include <cstdio>

int main() {
    int* volatile leaked = new int[4];
    leaked[0] = 1;
    leaked = nullptr;
    std::puts("leaked one block");
    return 0;
}
