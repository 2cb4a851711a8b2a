// vestrano-cli: the command-line front end over the core.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("vestrano-cli 1.00");
    return 0;
  }
  std::fputs("vestrano-cli: the command line is not built yet.\n", stderr);
  return 2;
}
