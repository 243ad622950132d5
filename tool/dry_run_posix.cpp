// Only Windows runs a launcher: elsewhere check lists what Windows would try.
#include "dry_run.h"

const bool kCanDryRun = false;

DryRun RunDry(const std::string&, const std::string&) {
  DryRun run;
  run.failure = "only Windows can run a launcher";
  return run;
}
