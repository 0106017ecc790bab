// NPAPI, the browser plug-in interface: basic types, instance and stream records,
// error and reason numbers, and the variables of NPP_GetValue / NPN_GetValue.
// Integer sizes are those of the 32-bit Windows ABI; pointers are native.
#pragma once

#include <cstdint>

#include "windef.h"

#define NP_VERSION_MAJOR 0
#define NP_VERSION_MINOR 27

// Calling-convention markers of the Windows headers; nothing on this ABI.
#define NP_LOADDS
#define OSCALL
#define NP_CALLBACK

typedef unsigned char NPBool;
typedef int16_t NPError;
typedef int16_t NPReason;
typedef char* NPMIMEType;

// One embedded object. pdata belongs to the plug-in, ndata to the browser.
typedef struct _NPP
{
    void* pdata;
    void* ndata;
} NPP_t;
typedef NPP_t* NPP;

typedef struct _NPStream
{
    void* pdata;
    void* ndata;
    const char* url;
    uint32_t end;
    uint32_t lastmodified;
    void* notifyData;
    const char* headers;
} NPStream;

typedef struct _NPByteRange
{
    int32_t offset;
    uint32_t length;
    struct _NPByteRange* next;
} NPByteRange;

typedef struct _NPSavedData
{
    int32_t len;
    void* buf;
} NPSavedData;

typedef struct _NPRect
{
    uint16_t top;
    uint16_t left;
    uint16_t bottom;
    uint16_t right;
} NPRect;

typedef struct _NPSize
{
    int32_t width;
    int32_t height;
} NPSize;

typedef void* NPRegion;

typedef enum
{
    NPWindowTypeWindow = 1,
    NPWindowTypeDrawable
} NPWindowType;

typedef struct _NPWindow
{
    void* window; // HWND for a windowed plug-in, HDC for a windowless one
    int32_t x;
    int32_t y;
    uint32_t width;
    uint32_t height;
    NPRect clipRect;
    NPWindowType type;
} NPWindow;

typedef struct _NPFullPrint
{
    NPBool pluginPrinted;
    NPBool printOne;
    void* platformPrint;
} NPFullPrint;

typedef struct _NPEmbedPrint
{
    NPWindow window;
    void* platformPrint;
} NPEmbedPrint;

typedef struct _NPPrint
{
    uint16_t mode; // NP_FULL or NP_EMBED
    union
    {
        NPFullPrint fullPrint;
        NPEmbedPrint embedPrint;
    } print;
} NPPrint;

// The Windows event record handed to NPP_HandleEvent.
typedef struct _NPEvent
{
    uint16_t event;
    uintptr_t wParam;
    uintptr_t lParam;
} NPEvent;

typedef void* NPMenu;

typedef enum
{
    NPFocusNext = 0,
    NPFocusPrevious = 1
} NPFocusDirection;

typedef enum
{
    NPCoordinateSpacePlugin = 1,
    NPCoordinateSpaceWindow,
    NPCoordinateSpaceFlippedWindow,
    NPCoordinateSpaceScreen,
    NPCoordinateSpaceFlippedScreen
} NPCoordinateSpace;

// Values of NPP_New's mode.
#define NP_EMBED 1
#define NP_FULL 2

// Stream types of NPP_NewStream.
#define NP_NORMAL 1
#define NP_SEEK 2
#define NP_ASFILE 3
#define NP_ASFILEONLY 4

#define NP_MAXREADY (((unsigned)(~0) << 1) >> 1)

// Set only on some Unix and Mac builds; zero on Windows.
#define NP_ABI_MASK 0

// Variables a browser asks a plug-in for (NPP_GetValue).
typedef enum
{
    NPPVpluginNameString = 1,
    NPPVpluginDescriptionString = 2,
    NPPVpluginWindowBool = 3,
    NPPVpluginTransparentBool = 4,
    NPPVjavaClass = 5,
    NPPVpluginWindowSize = 6,
    NPPVpluginTimerInterval = 7,
    NPPVpluginScriptableInstance = (10 | NP_ABI_MASK),
    NPPVpluginScriptableIID = 11,
    NPPVjavascriptPushCallerBool = 12,
    NPPVpluginKeepLibraryInMemory = 13,
    NPPVpluginNeedsXEmbed = 14,
    NPPVpluginScriptableNPObject = 15,
    NPPVformValue = 16,
    NPPVpluginUrlRequestsDisplayedBool = 17,
    NPPVpluginWantsAllNetworkStreams = 18,
    NPPVpluginNativeAccessibleAtkPlugId = 19,
    NPPVpluginCancelSrcStream = 20,
    NPPVsupportsAdvancedKeyHandling = 21,
    NPPVpluginUsesDOMForCursorBool = 22,
    NPPVpluginDrawingModel = 1000,
    NPPVpluginEventModel = 1001,
    NPPVpluginCoreAnimationLayer = 1003
} NPPVariable;

// Variables a plug-in asks the browser for (NPN_GetValue).
typedef enum
{
    NPNVxDisplay = 1,
    NPNVxtAppContext = 2,
    NPNVnetscapeWindow = 3,
    NPNVjavascriptEnabledBool = 4,
    NPNVasdEnabledBool = 5,
    NPNVisOfflineBool = 6,
    NPNVserviceManager = (10 | NP_ABI_MASK),
    NPNVDOMElement = (11 | NP_ABI_MASK),
    NPNVDOMWindow = (12 | NP_ABI_MASK),
    NPNVToolkit = (13 | NP_ABI_MASK),
    NPNVSupportsXEmbedBool = 14,
    NPNVWindowNPObject = 15,
    NPNVPluginElementNPObject = 16,
    NPNVSupportsWindowless = 17,
    NPNVprivateModeBool = 18,
    NPNVsupportsAdvancedKeyHandling = 21,
    NPNVdocumentOrigin = 22,
    NPNVpluginDrawingModel = 1000,
    NPNVsupportsCoreGraphicsBool = 2001,
    NPNVsupportsCoreAnimationBool = 2003,
    NPNVsupportsCocoaBool = 3001
} NPNVariable;

typedef enum
{
    NPNURLVCookie = 501,
    NPNURLVProxy = 502
} NPNURLVariable;

// NPError values.
#define NPERR_BASE 0
#define NPERR_NO_ERROR (NPERR_BASE + 0)
#define NPERR_GENERIC_ERROR (NPERR_BASE + 1)
#define NPERR_INVALID_INSTANCE_ERROR (NPERR_BASE + 2)
#define NPERR_INVALID_FUNCTABLE_ERROR (NPERR_BASE + 3)
#define NPERR_MODULE_LOAD_FAILED_ERROR (NPERR_BASE + 4)
#define NPERR_OUT_OF_MEMORY_ERROR (NPERR_BASE + 5)
#define NPERR_INVALID_PLUGIN_ERROR (NPERR_BASE + 6)
#define NPERR_INVALID_PLUGIN_DIR_ERROR (NPERR_BASE + 7)
#define NPERR_INCOMPATIBLE_VERSION_ERROR (NPERR_BASE + 8)
#define NPERR_INVALID_PARAM (NPERR_BASE + 9)
#define NPERR_INVALID_URL (NPERR_BASE + 10)
#define NPERR_FILE_NOT_FOUND (NPERR_BASE + 11)
#define NPERR_NO_DATA (NPERR_BASE + 12)
#define NPERR_STREAM_NOT_SEEKABLE (NPERR_BASE + 13)
#define NPERR_TIME_EXPIRED (NPERR_BASE + 14)
#define NPERR_MALFORMED_SITE (NPERR_BASE + 15)

// NPReason values.
#define NPRES_BASE 0
#define NPRES_DONE (NPRES_BASE + 0)
#define NPRES_NETWORK_ERR (NPRES_BASE + 1)
#define NPRES_USER_BREAK (NPRES_BASE + 2)

// Version words at which features appeared (minor version of the tables).
#define NPVERS_HAS_STREAMOUTPUT 8
#define NPVERS_HAS_NOTIFICATION 9
#define NPVERS_HAS_LIVECONNECT 9
#define NPVERS_WIN16_HAS_LIVECONNECT 9
#define NPVERS_68K_HAS_LIVECONNECT 11
#define NPVERS_HAS_WINDOWLESS 11
#define NPVERS_HAS_XPCONNECT_SCRIPTING 13
#define NPVERS_HAS_NPRUNTIME_SCRIPTING 14
#define NPVERS_HAS_FORM_VALUES 15
#define NPVERS_HAS_POPUPS_ENABLED_STATE 16
#define NPVERS_HAS_RESPONSE_HEADERS 17
#define NPVERS_HAS_NPOBJECT_ENUM 18
#define NPVERS_HAS_PLUGIN_THREAD_ASYNC_CALL 19
#define NPVERS_HAS_ALL_NETWORK_STREAMS 20
#define NPVERS_HAS_URL_AND_AUTH_INFO 21
#define NPVERS_HAS_PRIVATE_MODE 22
#define NPVERS_MACOSX_HAS_COCOA_EVENTS 23
#define NPVERS_HAS_ADVANCED_KEY_HANDLING 25
#define NPVERS_HAS_URL_REDIRECT_HANDLING 26
#define NPVERS_HAS_CLEAR_SITE_DATA 27

// Flags of NPP_ClearSiteData.
#define NP_CLEAR_ALL 0
#define NP_CLEAR_CACHE (1 << 0)
