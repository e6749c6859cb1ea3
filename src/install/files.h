#pragma once
// Free-standing routines for files, folders, versions, processes and Windows folders
// (the plain file and folder checks and ForceDirectories are in base/file_system.h).
// Paths and texts are UTF-8; paths use "\" and carry no trailing separator.
// Routines that raise use the error types of base/errors.h (EOSError for Windows failures).
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The running program's file, and its folder with a trailing "\".
std::string ProgramFilePath();
std::string ProgramFolder();

// "major.minor.release.build" from the file's fixed version information.
// Raises EOSError when the file has no version resource or cannot be read.
std::string GetFileVersionText(const std::string& path);

// The path itself when no file exists there, else the first free variant
// folder\base_N.ext (N = 1, 2, ...), where base is the file name with every occurrence of
// the extension removed (compared without regard to case).
std::string UniqueFileName(const std::string& path);

// Copies source to UniqueFileName(destination) (never over an existing file), then deletes
// the source. `used` receives the destination actually used. Never raises: each failure is
// logged and reported as false (a copy made before a failed delete stays).
bool MoveFileTo(const std::string& source, const std::string& destination, std::string& used);

// True when this process runs under 64-bit Windows (as a 32-bit program under WoW64, or as
// the 64-bit build of the tests).
bool IsWow64();

// MD5 of the file's bytes as 32 lower-case hexadecimal digits. The file is read in large
// blocks, other writers are denied meanwhile. Raises EOSError when it cannot be read.
std::string FileMD5(const std::string& path);
// The same for a file already open with read access, read from its start; the file's
// position is left at its end.
std::string FileMD5(HANDLE file);

// Starts `file` through the shell's "open" verb, hidden, with the given working folder and
// parameters, and waits for it to end. Returns the process's exit code, 1 when it could not
// be started, or 259 when the end of the program was requested while it still ran.
// A working folder that does not exist is replaced by the started file's own folder.
// Window messages are handled while waiting only when called on the UI thread.
int RunAndWait(const std::string& file, const std::string& workdir, const std::string& params);

// Deletes the folder and everything below it. Silent about failures; raises Exception
// "Could not delete empty path" for an empty argument. A linked folder (junction or
// symbolic link) is removed as a link: what it points to is never touched (a link the system
// cannot remove alone stays in place).
void DeleteTree(const std::string& folder);

// Removes whatever is at the path: a link (junction, symbolic link) as a link only, a folder
// with everything below it (as DeleteTree), or a file. True when nothing is left there (also
// when nothing was); otherwise GetLastError() tells why. A link the system cannot remove
// without touching its target stays in place.
bool DeletePathEntry(const std::string& path);

// Path of a Windows known folder, empty on failure.
std::string KnownFolderPath(const GUID& folderId);

// Drive of the Windows folder, as "C:". Raises EOSError when it cannot be read.
std::string SystemDrive();

// Deletes every entry of the folder except the top-level names in `keep` (exact,
// case-sensitive). Sub-folders go through DeleteTree (silent); a file that cannot be deleted
// ends the routine with EOSError carrying the Windows error code and text.
void ClearFolderExcept(const std::string& folder, const std::vector<std::string>& keep);

// What ClearFolderExcept could not delete, found before anything is deleted: every file and
// folder below `folder` (except the top-level names in `keep`) is opened for deletion, as
// another program's open handle without delete sharing would refuse it. Each entry that
// cannot be is returned as "<path>: <system text>"; empty when all of them can go.
std::vector<std::string> EntriesThatCannotBeDeleted(const std::string& folder,
                                                    const std::vector<std::string>& keep);

// Copies the contents of `source` recursively into `destination` (created as needed),
// overwriting files. Raises Exception, before anything is copied, for an invalid path, a
// missing source, a missing destination drive, the same folder on both sides, or a
// destination inside the source. A file or folder that cannot be copied is logged as
// "copy of <destination path> failed: <system text>" and the copy goes on with the others;
// when any could not be copied, EOSError saying how many is raised at the end.
void CopyFolderTree(const std::string& source, const std::string& destination);

// As CopyFolderTree, but moves: a folder the destination does not hold yet is renamed into
// place whole, a file is moved over an existing one, and what cannot be moved (another
// volume, a file held open) is copied. Moved items take the permissions the destination
// passes on to new items, not those they had in the source. The source's entries are
// listed before anything moves; what was moved is gone from the source.
void MoveFolderTree(const std::string& source, const std::string& destination);

// Fills `names` with the image file names of all running processes. Raises EOSError when
// the process list cannot be read.
void ListProcessNames(std::vector<std::string>& names);

// True when a process named exactly "Orfeda.exe" (case-sensitive) runs.
bool IsAppRunning();

// Size of the file in bytes (low 32 bits as a signed number), -1 when not found.
int32_t FileSizeOf(const std::string& path);
