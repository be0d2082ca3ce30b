// The entry of the wizard module: the program loads the module (and with it Qt) only when it
// shows the wizard, so that a conversion from the command line starts without Qt.
#include "ui/gui/desktop.h"
#include "ui/wizard_module.h"

extern "C" int quorvex_run_desktop_wizard(int* argc, char** argv, uint32_t options) {
  return quorvex::RunDesktopWizard(*argc, argv, options);
}
