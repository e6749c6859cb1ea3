#include "workers/finish_worker.h"

#include <exception>
#include <string>

#include "base/errors.h"
#include "install/zip_dlls.h"
#include "log/log.h"
#include "workers/status_sink.h"

void RunFinishWorker(const LinkChoices& choices, StatusSink& sink) {
  bool done = false;
  try {
    CreateLinksAndUninstallKey(choices, [&sink](const std::string& text) { sink.Message(text); });
    done = true;
  } catch (const std::exception& e) {
    try {
      WriteLog("Exception Error in: TFinishThread");
      WriteLog(DescribeError(e));
    } catch (...) {
    }
  } catch (...) {
    try {
      WriteLog("Exception Error in: TFinishThread");
    } catch (...) {
    }
  }
  try {
    RemoveZipDlls();
    // A registration that broke off is not reported as done: the page ends with a failure.
    if (done) sink.Status("finish", "finish", true);
    else sink.Status("exit", "exit", false);
  } catch (...) {
  }
}
