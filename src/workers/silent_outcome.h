#pragma once
// How a silent run ended, and the process exit code that tells it.

namespace silent {

enum class Outcome {
  Done,             // everything worked
  RestartRequired,  // done; a driver package asked for a restart
  Failed,           // ended early, or a step the installation depends on failed
};

// 0, 3010 or 1603.
int ExitCodeFor(Outcome outcome);

}  // namespace silent
