#include "ui/wizard_module.h"

#include <dlfcn.h>

#include <string>
#include <system_error>

#include "core/format.h"
#include "core/strings.h"
#include "ui/cli.h"
#include "ui/ui_strings.h"

namespace quorvex {

std::vector<std::filesystem::path> WizardModulePlaces() {
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  const std::filesystem::path folder = program.parent_path();
  return {folder / kWizardModuleName, folder.parent_path() / "lib/quorvex" / kWizardModuleName};
}

int RunWizardModule(int& argc, char** argv, ConversionOptions options,
                    const std::vector<std::filesystem::path>& places, std::ostream& err) {
  // Why it did not load: where it was looked for first, or what the loader said.
  std::string why = places.empty() ? kWizardModuleName : places.front().string();
  for (const std::filesystem::path& place : places) {
    std::error_code ec;
    if (!std::filesystem::exists(place, ec)) continue;
    // Kept loaded until the process ends: Qt's exit handlers live in it.
    void* module = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      const char* e = dlerror();
      why = e ? e : place.string();
      break;
    }
    using Entry = decltype(&quorvex_run_desktop_wizard);
    if (auto entry = reinterpret_cast<Entry>(dlsym(module, "quorvex_run_desktop_wizard")))
      return entry(&argc, argv, options);
    why = place.string() + ": no wizard in it";
    break;
  }
  err << FormatText(LoadText(kTextWizardNotLoaded), {FormatArg(std::string_view(why))})
      << LoadText(kTextTryHelp) << '\n';
  return kExitFatal;
}

}  // namespace quorvex
