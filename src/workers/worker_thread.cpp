#include "workers/worker_thread.h"

#include <thread>

#include "base/errors.h"
#include "log/log.h"

void RunWorker(const std::string& name, const std::function<void()>& work) noexcept {
  try {
    work();
  } catch (const std::exception& e) {
    try {
      WriteLog("Exception Error in: " + name);
      WriteLog(DescribeError(e));
    } catch (...) {
    }
  } catch (...) {
    try {
      WriteLog("Exception Error in: " + name);
    } catch (...) {
    }
  }
}

void StartWorkerThread(const std::string& name, std::function<void()> work) {
  std::thread([name, work = std::move(work)] { RunWorker(name, work); }).detach();
}
