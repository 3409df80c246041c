// The device's C runtime where it differs from the host's: 16-bit wide strings, Microsoft
// printf semantics (%s is wide in wide formats, %S is the other width) and code pages.
//
// The CRT names are macros for the cesim_ functions.
#ifndef CESIM_CRT_H
#define CESIM_CRT_H

// The Win32 types below come from windows.h, which includes this header at its end.
#include <windows.h>

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <wctype.h>

// Read now, before the macros exist, the C++ headers that #undef these names (<cwchar> and
// its kin) or spell them std::wcstol (<string>): included later they would quietly bring back
// glibc's 32-bit functions or fail to compile.
#ifdef __cplusplus
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#if __cplusplus >= 201103L
#include <string>
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

// ---- the device's wide C runtime (16-bit wchar_t) -----------------------------------------
size_t cesim_wcslen(const wchar_t* s);
wchar_t* cesim_wcscpy(wchar_t* d, const wchar_t* s);
wchar_t* cesim_wcsncpy(wchar_t* d, const wchar_t* s, size_t n);
wchar_t* cesim_wcscat(wchar_t* d, const wchar_t* s);
int cesim_wcscmp(const wchar_t* a, const wchar_t* b);
int cesim_wcsncmp(const wchar_t* a, const wchar_t* b, size_t n);
int cesim_wcsicmp(const wchar_t* a, const wchar_t* b);
int cesim_wcsnicmp(const wchar_t* a, const wchar_t* b, size_t n);
wchar_t* cesim_wcschr(const wchar_t* s, wchar_t c);
wchar_t* cesim_wcsrchr(const wchar_t* s, wchar_t c);
wchar_t* cesim_wcsstr(const wchar_t* s, const wchar_t* find);
wchar_t* cesim_wcsdup(const wchar_t* s);
// The device's long is 32 bits, the host's 64: the result is a LONG, clamped to
// [-0x80000000, 0x7FFFFFFF] with errno = ERANGE on overflow. Compare it with those values,
// not with the host's LONG_MAX and LONG_MIN.
int32_t cesim_wcstol(const wchar_t* s, wchar_t** end, int base);
// wcstol in base 10, clamped the same way.
int cesim_wtoi(const wchar_t* s);
// Case mapping for ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and fullwidth Latin.
wchar_t cesim_towlower(wchar_t c);
wchar_t cesim_towupper(wchar_t c);
int cesim_iswspace(wchar_t c);
int cesim_iswdigit(wchar_t c);

// Wide printf. In a wide format %s, %c take wide arguments and %S, %C narrow ones; h forces
// narrow, l and w force wide. h, l and I32 sizes are 32 bits as on the device (%ld reads an
// int); ll and I64 are 64 bits; I is the host's pointer size, as the host's INT_PTR arguments
// are. Narrow strings become wide byte for byte (Latin-1).
// _snwprintf and _vsnwprintf write at most count characters: when the output fits with room
// to spare it is terminated and its length returned; when it is exactly count characters it
// is not terminated and count is returned; when it is longer, count characters are written
// without a terminator and -1 is returned.
int cesim_vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format, va_list args);
int cesim_snwprintf(wchar_t* buffer, size_t count, const wchar_t* format, ...);
// The pre-ISO form the device has: no count, output unbounded.
int cesim_swprintf(wchar_t* buffer, const wchar_t* format, ...);
// user32's: flags - # 0, width, precision, sizes h l w I I32 I64, no floating point and no *;
// at most 1023 characters and a terminator are written.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args);

// Narrow printf with the same rules: %s and %c are narrow, %S, %C, %ls and %lc wide. Wide
// characters below 256 become that byte (Latin-1), any other becomes '?'.
int cesim_sprintf(char* buffer, const char* format, ...);
int cesim_vsprintf(char* buffer, const char* format, va_list args);
int cesim_snprintf(char* buffer, size_t count, const char* format, ...);
int cesim_vsnprintf(char* buffer, size_t count, const char* format, va_list args);

#undef wcslen
#undef wcscpy
#undef wcsncpy
#undef wcscat
#undef wcscmp
#undef wcsncmp
#undef wcschr
#undef wcsrchr
#undef wcsstr
#undef wcstol
#undef towlower
#undef towupper
#undef iswspace
#undef iswdigit
#undef swprintf
#undef sprintf
#undef vsprintf

#define wcslen cesim_wcslen
#define wcscpy cesim_wcscpy
#define wcsncpy cesim_wcsncpy
#define wcscat cesim_wcscat
#define wcscmp cesim_wcscmp
#define wcsncmp cesim_wcsncmp
#define _wcsicmp cesim_wcsicmp
#define _wcsnicmp cesim_wcsnicmp
#define wcschr cesim_wcschr
#define wcsrchr cesim_wcsrchr
#define wcsstr cesim_wcsstr
#define _wcsdup cesim_wcsdup
#define wcstol cesim_wcstol
#define _wtoi cesim_wtoi
#define _wtol cesim_wtoi
#define towlower cesim_towlower
#define towupper cesim_towupper
#define iswspace cesim_iswspace
#define iswdigit cesim_iswdigit
#define _vsnwprintf cesim_vsnwprintf
#define _snwprintf cesim_snwprintf
#define swprintf cesim_swprintf
#define sprintf cesim_sprintf
#define vsprintf cesim_vsprintf
#define _snprintf cesim_snprintf
#define _vsnprintf cesim_vsnprintf

// ---- code pages ---------------------------------------------------------------------------
#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_COMPOSITECHECK 0x00000200
#define WC_DEFAULTCHAR 0x00000040
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define WC_ERR_INVALID_CHARS 0x00000080

#ifndef ERROR_INVALID_FLAGS
#define ERROR_INVALID_FLAGS 1004L
#endif
#ifndef ERROR_NO_UNICODE_TRANSLATION
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#endif

// CP_ACP is Windows-1252 (as is 1252), CP_OEMCP code page 437 (as is 437). A length of -1
// means NUL-terminated, the NUL included in the count; an output size of 0 asks for the size
// needed. A too small output fails with ERROR_INSUFFICIENT_BUFFER. Characters a single-byte
// page cannot hold become the default character ('?' unless one is given), with no best-fit
// mapping. Malformed UTF-8 and unpaired surrogates become U+FFFD, or fail with
// ERROR_NO_UNICODE_TRANSLATION under MB_ERR_INVALID_CHARS / WC_ERR_INVALID_CHARS.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideText, int wideLength,
                        LPSTR multiByteText, int multiByteSize, LPCSTR defaultChar,
                        BOOL* usedDefaultChar);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByteText, int multiByteLength,
                        LPWSTR wideText, int wideSize);

#ifdef __cplusplus
}
#endif

#endif
