#pragma once

namespace rx::cli {

// What rx7731-cli returns to the shell.
enum ExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,        // a file or port failed, or a file is not a data file
  kExitUsage = 2,          // the command line is wrong
  kExitTimedOut = 3,       // download --timeout passed with no byte from the meter
  kExitInterrupted = 130,  // SIGINT
  kExitTerminated = 143,   // SIGTERM
};

}  // namespace rx::cli
