// Helpers of the front-end tests: a fake environment and a runner for the built program.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"
#include "ui/settings.h"

namespace quorvex::test {

using namespace testsupport;

/// An environment made of the given variables only.
using EnvMap = std::map<std::string, std::string>;
inline EnvironmentLookup LookupIn(const EnvMap& vars) {
  return [&vars](const char* name) -> const char* {
    auto it = vars.find(name);
    return it == vars.end() ? nullptr : it->second.c_str();
  };
}

/// Runs the built program (QUORVEX_BINARY) with `args` in `cwd` with exactly the environment `env`.
inline ProgramRun RunQuorvex(const std::vector<std::string>& args, const EnvMap& env,
                             const std::filesystem::path& cwd) {
  std::vector<std::string> argv = {std::getenv("QUORVEX_BINARY")}, environment;
  argv.insert(argv.end(), args.begin(), args.end());
  for (const auto& [name, value] : env) environment.push_back(name + "=" + value);
  return RunProgram(argv, environment, cwd, 120);
}

}  // namespace quorvex::test
