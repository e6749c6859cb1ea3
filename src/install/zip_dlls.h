#pragma once
// The ZIP engine's library files "DelZip192.dll" and "DelZip192x64.dll", carried as
// resources of the program.

// Writes both files from the program's resources next to the program. True when both
// files exist afterwards; a failed write still raises.
bool ExportZipDlls();
// Deletes both library files again; failures are ignored.
void RemoveZipDlls();
