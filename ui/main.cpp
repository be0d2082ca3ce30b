// The quorvex program: the command-line entry over the front-end library.
#include "ui/cli.h"

int main(int argc, char** argv) {
  return quorvex::RunCommandLine(argc, argv);
}
