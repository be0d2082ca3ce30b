// The quorvex program: the command-line entry over the front-end library, with the desktop
// wizard when the program is built with it (a module loaded only when the wizard is shown).
#include <iostream>

#include "ui/cli.h"

#ifdef QUORVEX_WITH_GUI
#include "ui/wizard_module.h"
#endif

int main(int argc, char** argv) {
#ifdef QUORVEX_WITH_GUI
  return quorvex::RunCommandLine(argc, argv, [&argc, argv](quorvex::ConversionOptions options) {
    return quorvex::RunWizardModule(argc, argv, options, quorvex::WizardModulePlaces(), std::cerr);
  });
#else
  return quorvex::RunCommandLine(argc, argv, {});
#endif
}
