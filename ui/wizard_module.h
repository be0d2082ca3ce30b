// The desktop wizard lives in a module of its own (quorvex-wizard.so, with Qt), which the
// program loads only when it shows the wizard: a conversion from the command line then starts
// without loading Qt.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <vector>

#include "core/options.h"

extern "C" {
/// The module's entry: the wizard over the process's arguments, returning the exit status.
int quorvex_run_desktop_wizard(int* argc, char** argv, uint32_t options);
}

namespace quorvex {

inline constexpr const char* kWizardModuleName = "quorvex-wizard.so";

/// Where the module is looked for: beside the program (a build tree), then in the program's
/// ../lib/quorvex folder (an installation).
std::vector<std::filesystem::path> WizardModulePlaces();

/// Loads the module from the first of `places` that holds it and runs the wizard. When it
/// cannot be loaded, says why on `err` and how to convert from the command line instead, and
/// returns kExitFatal.
int RunWizardModule(int& argc, char** argv, ConversionOptions options,
                    const std::vector<std::filesystem::path>& places, std::ostream& err);

}  // namespace quorvex
