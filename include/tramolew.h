/*
 * tramolew.h - the interface of TRAMOLEW.dll for host programs.
 *
 * TRAMOLEW.dll answers a host's error-message lookups from the data file
 * TRAMOLED.QDF beside it, and forwards five per-printer setting operations
 * to the companion library TRAMOLEU.DLL of the printer's driver.
 *
 * Link with the import library (mingw: -lTRAMOLEW, i.e. libTRAMOLEW.dll.a;
 * MSVC: TRAMOLEW.lib), or load the DLL at run time with LoadLibrary and
 * GetProcAddress (see docs/host-api.md). The DLL is 64-bit only.
 *
 * Threads: once the DLL is loaded, any thread of the host may call any
 * export at any time, also at the same time as other threads.
 *
 * The data file is read once, while the DLL is being loaded, from the
 * directory that holds the DLL itself (never from the current directory or
 * the search path). Replacing the file later changes nothing until the DLL
 * is unloaded and loaded again. A missing or damaged file does not make the
 * load fail: DALVIRE_GetErrorMsg then falls back as it describes.
 *
 * This header is C89, C99 and C++ and needs nothing but the compiler's own
 * <stdint.h> (or, on old MSVC, its built-in integer types).
 */
#ifndef TRAMOLEW_H
#define TRAMOLEW_H

/* Version of the library this header belongs to. */
#define TRAMOLEW_VERSION_MAJOR 1
#define TRAMOLEW_VERSION_MINOR 0
#define TRAMOLEW_VERSION_PATCH 0
#define TRAMOLEW_VERSION "1.0.0"
/* One number that grows with each release: 10000 * major + 100 * minor + patch. */
#define TRAMOLEW_VERSION_NUMBER 10000

/* File names: the library, its message data file (beside the library) and
 * the companion library it loads from the printer driver's directory. */
#define TRAMOLEW_DLL_NAME "TRAMOLEW.dll"
#define TRAMOLEW_DATA_FILE_NAME "TRAMOLED.QDF"
#define TRAMOLEW_COMPANION_NAME "TRAMOLEU.DLL"

/* Result of a setting operation when no companion entry point could be
 * called: the printer is unknown, its driver has no TRAMOLEU.DLL, or that
 * companion lacks the operation. A companion may return 99 itself too. */
#define TRAMOLEW_NO_ENTRY_POINT 99

/* Fixed-width types. */
#if defined(_MSC_VER) && _MSC_VER < 1600
typedef __int32 tramolew_int32;
typedef unsigned __int64 tramolew_uintptr;
#else
#include <stdint.h>
typedef int32_t tramolew_int32;
typedef uintptr_t tramolew_uintptr;
#endif

/* Calling convention of every export (__stdcall; on x64 the one Windows
 * convention, so the same as the compiler's default there). */
#if defined(_WIN32)
#define TRAMOLEW_CALL __stdcall
#else
#define TRAMOLEW_CALL
#endif

/* Declarations are imported from the DLL. The library's own code, and
 * programs built with its code linked in, define TRAMOLEW_NO_DLLIMPORT. */
#if defined(_WIN32) && !defined(TRAMOLEW_NO_DLLIMPORT)
#define TRAMOLEW_API __declspec(dllimport)
#else
#define TRAMOLEW_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * DALVIRE_GetErrorMsg - the text of one of the host's error messages.
 *
 * PARAMS   code: the host's error code. Codes 0 to 15 have texts of their
 *          own; every other code gets the fallback text.
 * RETURNS  the text of the code as the data file holds it (key "ERMSG_nn");
 *          when the file has no text for the code, its fallback text
 *          ("ERMSG_XX"); when it has neither, or there is no file, an empty
 *          text. Never null.
 *          The text is owned by the library: do not change or free it. It
 *          stays valid until the library is unloaded. It is zero-terminated
 *          8-bit text in the code page the data file was built for (qdf
 *          build --codepage); the library passes the bytes on unconverted.
 */
TRAMOLEW_API const char* TRAMOLEW_CALL DALVIRE_GetErrorMsg(tramolew_int32 code);

/*
 * The five setting operations. Each asks the print spooler which driver the
 * printer uses, loads TRAMOLEU.DLL from that driver's directory (by its full
 * path, never through the search path), calls the companion's function of
 * the same name with the host's two arguments unchanged, unloads the
 * companion again and returns the companion's result.
 *
 * PARAMS   printer: the printer's name, zero-terminated 8-bit text in the
 *          host's ANSI code page, as the spooler knows it. Null gives
 *          TRAMOLEW_NO_ENTRY_POINT.
 *          value: pointer-sized, meaningful only to the host and the
 *          companion; the library passes it on without reading it.
 * RETURNS  the companion's result; TRAMOLEW_NO_ENTRY_POINT (99) when no
 *          companion entry point could be called.
 */
TRAMOLEW_API tramolew_int32 TRAMOLEW_CALL DALVIRE_SettingExport(const char* printer, tramolew_uintptr value);
TRAMOLEW_API tramolew_int32 TRAMOLEW_CALL DALVIRE_SettingImport(const char* printer, tramolew_uintptr value);
TRAMOLEW_API tramolew_int32 TRAMOLEW_CALL DALVIRE_PersonalInfoImport(const char* printer, tramolew_uintptr value);
TRAMOLEW_API tramolew_int32 TRAMOLEW_CALL DALVIRE_DefaultSetting(const char* printer, tramolew_uintptr value);
TRAMOLEW_API tramolew_int32 TRAMOLEW_CALL DALVIRE_FixSetting(const char* printer, tramolew_uintptr value);

/*
 * SetChildInfo - kept for hosts that call it.
 *
 * PARAMS   none (arguments a host passes are not read).
 * RETURNS  0, always; it does nothing.
 */
TRAMOLEW_API tramolew_int32 TRAMOLEW_CALL SetChildInfo(void);

#ifdef __cplusplus
}
#endif

#endif /* TRAMOLEW_H */
