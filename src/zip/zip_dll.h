#pragma once
// C interface of the ZIP engine's native library files (DelZip192.dll for 32-bit and
// DelZip192x64.dll for 64-bit processes). Strings are UTF-8. Every function returns the
// engine's result: 0 on success, otherwise one of the codes of zip.h, with its text copied
// into `message` (always terminated, truncated to messageSize).
#ifdef __cplusplus
extern "C" {
#endif

#ifdef ORFZIP_BUILDING_DLL
#define ORFZIP_API __declspec(dllexport)
#else
#define ORFZIP_API
#endif

// Option bits.
#define ORFZIP_EXTR_DIRNAMES 0x0001   /* keep stored folder names */
#define ORFZIP_EXTR_FORCEDIRS 0x0002  /* create the extraction folder */
#define ORFZIP_EXTR_OVERWRITE 0x0004  /* replace existing files */
#define ORFZIP_EXTR_NTFS 0x0008       /* restore creation and access times too */
#define ORFZIP_ADD_DIRNAMES 0x0100    /* store relative paths */
#define ORFZIP_ADD_RECURSE 0x0200     /* descend into sub-folders */
#define ORFZIP_ADD_HIDDEN 0x0400      /* include hidden and system files */
#define ORFZIP_ADD_NTFS 0x0800        /* store NTFS times */
#define ORFZIP_ADD_FORCEDEST 0x1000   /* create the archive's folder */

// Version of the engine as "major.minor.patch".
ORFZIP_API const char* OrfZipVersion(void);
// Extracts the entries matching `includeMasks` (";"-separated, NULL or "" for all).
ORFZIP_API int OrfZipExtract(const char* archive, const char* destination, const char* includeMasks,
                             unsigned options, char* message, int messageSize);
// Writes a new archive of the files below `root` matching the masks (";"-separated).
ORFZIP_API int OrfZipAdd(const char* archive, const char* root, const char* includeMasks,
                         const char* excludeMasks, unsigned options, int level, char* message,
                         int messageSize);
// Checks every entry's data and CRC.
ORFZIP_API int OrfZipTest(const char* archive, char* message, int messageSize);

#ifdef __cplusplus
}
#endif
