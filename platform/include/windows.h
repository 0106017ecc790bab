// Umbrella header, as on Windows: every component header that exists.
#pragma once

#include "windef.h"
#include "winerror.h"
#if __has_include("winbase.h")
#include "winbase.h"
#endif
#if __has_include("fileapi.h")
#include "fileapi.h"
#endif
#if __has_include("winnls.h")
#include "winnls.h"
#endif
#if __has_include("libloaderapi.h")
#include "libloaderapi.h"
#endif
#if __has_include("winreg.h")
#include "winreg.h"
#endif
#if __has_include("winuser.h")
#include "winuser.h"
#endif
#if __has_include("oleauto.h")
#include "oleauto.h"
#endif
#if __has_include("winver.h")
#include "winver.h"
#endif
#if __has_include("wincrypt.h")
#include "wincrypt.h"
#endif
#if __has_include("objbase.h")
#include "objbase.h"
#endif
#if __has_include("crtwide.h")
#include "crtwide.h"
#endif
