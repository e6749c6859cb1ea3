#include "workers/silent_outcome.h"

namespace silent {

int ExitCodeFor(Outcome outcome) {
  switch (outcome) {
    case Outcome::Done: return 0;
    case Outcome::RestartRequired: return 3010;
    case Outcome::Failed: return 1603;
  }
  return 1603;
}

}  // namespace silent
