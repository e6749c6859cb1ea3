#pragma once
// The install page's worker for a new installation: the release in the staging folder
// (InstallRec.FromDir) installed into the install root (InstallRec.InstPath) with the
// components the user ticked, the printer driver packages, the scripts around it and the
// Windows uninstall entry. It reports each step to the install page ("pbInstall.Position",
// "lbInstall.Caption"); a completed installation ends with ("finish", "finish", ready), a
// failed one with ("exit", "exit") after its log lines, so the page never waits for a
// status that does not come.
#include "workers/component_choice.h"

class StatusSink;

// What the run leaves for the pages after it, written before its last status.
struct InstallResult {
  bool restartRequired = false;  // a driver package asked for a restart of Windows
  bool failed = false;           // the "exit" status was sent
};

// Runs the whole installation on the calling (worker) thread with the component choice
// copied when the page started it; `result` is written before the last status, so the page
// reads it when that status arrives. Never raises.
void RunInstallWorker(const ComponentChoices& choices, StatusSink& sink, InstallResult& result);
