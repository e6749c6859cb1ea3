#pragma once
// The thread around a worker: it runs the work once and frees itself at the end. Nobody
// waits for it; an error that escapes the work is logged as "Exception Error in: " + name
// followed by the error's class and message.
#include <functional>
#include <string>

// Starts the thread; raises when the system cannot start one.
void StartWorkerThread(const std::string& name, std::function<void()> work);
// The same run on the calling thread (what the thread executes).
void RunWorker(const std::string& name, const std::function<void()>& work) noexcept;
