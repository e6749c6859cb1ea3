#pragma once
// Installing a downloaded release into the install root: the scripts around it, the
// folder, the product's ini, "updater.cfg", the options key, the application's files,
// ORFEDAINSTALLPATH and the printer driver packages. The silent install and the wizard's
// install worker run the same steps; the worker also reports its progress to the install
// page and logs a few more lines about the printer step.
#include <string>

#include "workers/component_choice.h"

class StatusSink;

// Where the steps report their progress: nowhere for the silent install; for the wizard
// the install page's "pbInstall.Position" and "lbInstall.Caption".
struct InstallProgress {
  StatusSink* sink = nullptr;

  bool Reported() const { return sink != nullptr; }
  void Position(const char* position) const;
  void Caption(const std::string& caption) const;
};

// Installs each ticked "Orfeda" component of `choices` from InstallRec.FromDir into
// InstallRec.InstPath, between the "preexec" and "postexec" scripts; the staging folder's
// files are moved there, not copied. False when a step the installation depends on failed
// (the files could not be moved or a driver package failed); restartRequired is set when a
// driver package asked for a restart.
bool InstallComponents(const ComponentChoices& choices, const InstallProgress& progress,
                       bool& restartRequired);
// The silent install's run: every component of ComponentList, nothing reported.
bool InstallComponents(bool& restartRequired);

// The environment variable and the printer driver packages, taken from the install root's
// "partner\nova\". False when a package ran and failed; restartRequired is set when a
// package asked for a restart.
bool InstallPrinterPackages(bool& restartRequired, const InstallProgress& progress = {});
