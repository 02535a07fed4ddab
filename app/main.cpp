#include <cstdio>

int main() {
    std::puts("Quenvar: the control window is not built yet; there is nothing to launch.");
    return 0;
}
