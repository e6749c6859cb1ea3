#pragma once
// Installing a downloaded release into the install root: the scripts around it, the
// folder, the product's ini, "updater.cfg", the options key, the application's files,
// ORFEDAINSTALLPATH and the printer driver packages.

// Installs the "Orfeda" component of ComponentList from InstallRec.FromDir into
// InstallRec.InstPath; the staging folder's files are moved there, not copied. False when
// a step the installation depends on failed (the files could not be moved or a driver
// package failed); restartRequired is set when a driver package asked for a restart.
bool InstallComponents(bool& restartRequired);

// The environment variable and the printer driver packages, taken from the install root's
// "partner\nova\". False when a package ran and failed; restartRequired is set when a
// package asked for a restart.
bool InstallPrinterPackages(bool& restartRequired);
