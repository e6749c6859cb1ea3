#include "base/errors.h"

std::string DescribeError(const std::exception& e) {
  if (const auto* ours = dynamic_cast<const Exception*>(&e))
    return std::string(ours->ClassName()) + " : " + ours->what();
  return std::string("Exception : ") + e.what();
}
