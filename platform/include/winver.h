// Version information: the VS_VERSIONINFO resource of a library or program.
#pragma once

#include "windef.h"

// Resource id of the version resource.
#define VS_VERSION_INFO 1
#define VS_USER_DEFINED 100

#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VS_FFI_STRUCVERSION 0x00010000L
#define VS_FFI_FILEFLAGSMASK 0x0000003FL

#define VS_FF_DEBUG 0x00000001L
#define VS_FF_PRERELEASE 0x00000002L
#define VS_FF_PATCHED 0x00000004L
#define VS_FF_PRIVATEBUILD 0x00000008L
#define VS_FF_INFOINFERRED 0x00000010L
#define VS_FF_SPECIALBUILD 0x00000020L

#define VOS_UNKNOWN 0x00000000L
#define VOS_DOS 0x00010000L
#define VOS_OS216 0x00020000L
#define VOS_OS232 0x00030000L
#define VOS_NT 0x00040000L
#define VOS__BASE 0x00000000L
#define VOS__WINDOWS16 0x00000001L
#define VOS__PM16 0x00000002L
#define VOS__PM32 0x00000003L
#define VOS__WINDOWS32 0x00000004L
#define VOS_DOS_WINDOWS16 0x00010001L
#define VOS_DOS_WINDOWS32 0x00010004L
#define VOS_NT_WINDOWS32 0x00040004L

#define VFT_UNKNOWN 0x00000000L
#define VFT_APP 0x00000001L
#define VFT_DLL 0x00000002L
#define VFT_DRV 0x00000003L
#define VFT_FONT 0x00000004L
#define VFT_VXD 0x00000005L
#define VFT_STATIC_LIB 0x00000007L
#define VFT2_UNKNOWN 0x00000000L

typedef struct tagVS_FIXEDFILEINFO
{
    DWORD dwSignature;      // VS_FFI_SIGNATURE
    DWORD dwStrucVersion;   // VS_FFI_STRUCVERSION
    DWORD dwFileVersionMS;  // major << 16 | minor
    DWORD dwFileVersionLS;  // build << 16 | revision
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

// The size of the version resource of a library or program file, read from the file
// without running it; *lpdwHandle is set to 0. 0 on failure: ERROR_FILE_NOT_FOUND,
// ERROR_BAD_FORMAT (not a library or program), ERROR_RESOURCE_DATA_NOT_FOUND (no resources),
// ERROR_RESOURCE_TYPE_NOT_FOUND (no version resource).
QMAPI DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle);
// Copies the version resource (at most dwLen bytes) into lpData; dwHandle is ignored.
QMAPI BOOL WINAPI GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
// lpSubBlock: "\\" (the VS_FIXEDFILEINFO, *puLen its size), "\\VarFileInfo\\Translation"
// (pairs of language and code page, *puLen in bytes), "\\StringFileInfo\\040904b0\\Name"
// (text, *puLen in characters including the terminator). Keys are compared without case.
// *lplpBuffer points into pBlock.
QMAPI BOOL WINAPI VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen);

#define GetFileVersionInfoSize GetFileVersionInfoSizeW
#define GetFileVersionInfo GetFileVersionInfoW
#define VerQueryValue VerQueryValueW
