// Only Windows runs a launcher: elsewhere check lists what Windows would try.
#include "dry_run.h"

DryRunResult DryRunLauncher(const std::string&, const std::string&, void*) {
  DryRunResult run;
  run.failure = "only Windows can run a launcher";
  return run;
}
