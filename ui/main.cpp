// The quorvex program: the command-line entry over the front-end library, with the desktop
// wizard when the program is built with it.
#include "ui/cli.h"

#ifdef QUORVEX_WITH_GUI
#include "ui/gui/desktop.h"
#endif

int main(int argc, char** argv) {
#ifdef QUORVEX_WITH_GUI
  return quorvex::RunCommandLine(argc, argv, [&argc, argv](quorvex::ConversionOptions options) {
    return quorvex::RunDesktopWizard(argc, argv, options);
  });
#else
  return quorvex::RunCommandLine(argc, argv, {});
#endif
}
