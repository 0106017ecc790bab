// A plug-in's script object called as a page could call it: any method name of its table (or
// none), any number of arguments of any NPVariant type, strings of any bytes. Built once per
// plug-in (QM_PLUGIN, QM_PLUGIN_MIME, QM_METHODS). The machine is empty: no provider and no
// certificate, so the agent answers at once and the arguments' conversion is what is tested.
// Each call must hand back browser memory only in its result, which releases cleanly.
#include <dlfcn.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <npfunctions.h>

#include "FakeBrowser.h"
#include "qm/fuzz_harness.h"

namespace
{
const char* const kMethods[] = {QM_METHODS, "NoSuchMethod"};
constexpr size_t kMethodCount = sizeof kMethods / sizeof kMethods[0];

struct Plugin
{
    fake::Browser browser;
    NPPluginFuncs funcs{};
    NPP_t npp{};
    NPObject* object = nullptr;
    NPObject* pageObject = nullptr; // an object of the page, passed as an argument
    size_t baseObjects = 0;
};
Plugin* g_plugin = nullptr;

NPObject* AllocatePageObject(NPP, NPClass*)
{
    return new NPObject{};
}
void DeallocatePageObject(NPObject* obj)
{
    delete obj;
}
NPClass g_pageClass = {NP_CLASS_STRUCT_VERSION, AllocatePageObject, DeallocatePageObject};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qm::fuzz::UseScratchMachine("qm-script-fuzz");

    g_plugin = new Plugin;
    void* library = dlopen(QM_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        __builtin_trap();
    auto getEntryPoints = (NP_GetEntryPointsFunc)dlsym(library, "NP_GetEntryPoints");
    auto initialize = (NP_InitializeFunc)dlsym(library, "NP_Initialize");
    g_plugin->funcs.size = sizeof(g_plugin->funcs);
    if (!getEntryPoints || !initialize || getEntryPoints(&g_plugin->funcs) != NPERR_NO_ERROR ||
        initialize(&g_plugin->browser.Funcs()) != NPERR_NO_ERROR)
        __builtin_trap();
    char mime[] = QM_PLUGIN_MIME;
    if (g_plugin->funcs.newp(mime, &g_plugin->npp, NP_EMBED, 0, nullptr, nullptr, nullptr) != NPERR_NO_ERROR ||
        g_plugin->funcs.getvalue(&g_plugin->npp, NPPVpluginScriptableNPObject, &g_plugin->object) != NPERR_NO_ERROR ||
        !g_plugin->object)
        __builtin_trap();
    g_plugin->pageObject = g_plugin->browser.Funcs().createobject(&g_plugin->npp, &g_pageClass);
    g_plugin->baseObjects = g_plugin->browser.LiveObjects();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Plugin& p = *g_plugin;
    qm::fuzz::Input in(data, size);
    const char* method = kMethods[in.Byte() % kMethodCount];
    const uint32_t argc = in.Byte() % 6;
    std::vector<NPVariant> args(argc);
    // Each string's characters in a block of their exact length, without a terminator, as a
    // browser hands them over.
    std::vector<std::unique_ptr<char[]>> texts;
    for (NPVariant& arg : args)
    {
        switch (in.Byte() % 7)
        {
        case 0: VOID_TO_NPVARIANT(arg); break;
        case 1: NULL_TO_NPVARIANT(arg); break;
        case 2: BOOLEAN_TO_NPVARIANT(in.Byte() & 1, arg); break;
        case 3: INT32_TO_NPVARIANT(in.Value<int32_t>(), arg); break;
        case 4: DOUBLE_TO_NPVARIANT(in.Value<double>(), arg); break;
        case 5:
        {
            std::vector<char> bytes = in.Bytes(in.Value<uint16_t>() % 1024);
            texts.emplace_back(new char[bytes.size() ? bytes.size() : 1]);
            if (!bytes.empty())
                std::memcpy(texts.back().get(), bytes.data(), bytes.size());
            STRINGN_TO_NPVARIANT(texts.back().get(), uint32_t(bytes.size()), arg);
            break;
        }
        default: OBJECT_TO_NPVARIANT(p.pageObject, arg); break;
        }
    }
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    p.browser.Invoke(p.object, method, args.data(), argc, &result);
    // The arguments stay the page's: nothing of them was released or kept.
    if (p.pageObject->referenceCount != 1)
        __builtin_trap();
    p.browser.ReleaseVariant(result);
    if (p.browser.OutstandingBlocks() != 0 || p.browser.LiveObjects() != p.baseObjects)
        __builtin_trap();
    return 0;
}
