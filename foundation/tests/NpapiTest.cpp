// The NPAPI exports, the instance object and the script skeleton, called as a browser would.
#include <gtest/gtest.h>

#include <cstring>

#include <qm/trace_capture.h>

#include "FakeBrowser.h"
#include "NpnGates.h"
#include "NppFunctions.h"
#include "ScriptSkeleton.h"
#include "ScriptablePluginObjectBase.h"
#include "Trace.h"

namespace
{
bool g_bFailAllocate = false;
int g_cLiveTestObjects = 0;

// The smallest plug-in object: the base's defaults plus the shared skeleton.
class CTestScriptObject : public CScriptablePluginObjectBase
{
public:
    explicit CTestScriptObject(NPP npp) : m_npp(npp) { ++g_cLiveTestObjects; }
    ~CTestScriptObject() override { --g_cLiveTestObjects; }
    bool InvokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result) override
    {
        return SkeletonInvokeDefault(args, argCount, result);
    }
    bool HasProperty(NPIdentifier name) override { return SkeletonHasProperty(name); }
    bool GetProperty(NPIdentifier name, NPVariant* result) override { return SkeletonGetProperty(name, result); }
    bool SetProperty(NPIdentifier name, const NPVariant* value) override { return SkeletonSetProperty(name, value); }

    NPP m_npp;
};
} // namespace

NPObject* AllocateCScriptableObject(NPP npp, NPClass* aClass)
{
    if (g_bFailAllocate)
    {
        return nullptr;
    }
    return new CTestScriptObject(npp);
}

namespace
{
class NpapiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_bFailAllocate = false;
        NPPluginFuncs pluginFuncs = {};
        pluginFuncs.size = sizeof(pluginFuncs);
        ASSERT_EQ(NP_GetEntryPoints(&pluginFuncs), NPERR_NO_ERROR);
        m_plugin = pluginFuncs;
        ASSERT_EQ(NP_Initialize(&m_browser.Funcs()), NPERR_NO_ERROR);
    }
    void TearDown() override
    {
        EXPECT_EQ(NP_Shutdown(), NPERR_NO_ERROR);
        EXPECT_EQ(g_cLiveTestObjects, 0);
    }

    // The plug-in keeps the instance pointer, so the instance must stay where it was created.
    void NewInstance(NPP npp)
    {
        char szMime[] = "application/npSigmora.Pellix.x86";
        EXPECT_EQ(m_plugin.newp(szMime, npp, NP_EMBED, 0, nullptr, nullptr, nullptr), NPERR_NO_ERROR);
        EXPECT_NE(npp->pdata, nullptr);
    }

    NPObject* ScriptableObject(NPP npp)
    {
        NPObject* obj = nullptr;
        EXPECT_EQ(m_plugin.getvalue(npp, NPPVpluginScriptableNPObject, &obj), NPERR_NO_ERROR);
        return obj;
    }

    fake::Browser m_browser;
    NPPluginFuncs m_plugin = {};
};
} // namespace

TEST(NpEntryPoints, PluginTableSizeLimit)
{
    NPPluginFuncs funcs;
    memset(&funcs, 0xCD, sizeof(funcs));
    funcs.size = 59;
    EXPECT_EQ(NP_GetEntryPoints(&funcs), NPERR_INVALID_FUNCTABLE_ERROR);
    EXPECT_EQ(funcs.version, 0xCDCD); // nothing written
    EXPECT_EQ(NP_GetEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);

    funcs.size = 60;
    ASSERT_EQ(NP_GetEntryPoints(&funcs), NPERR_NO_ERROR);
    EXPECT_EQ(funcs.size, 60);
    EXPECT_EQ(funcs.version, 22);
    EXPECT_EQ(funcs.newp, &NPP_New);
    EXPECT_EQ(funcs.destroy, &NPP_Destroy);
    EXPECT_EQ(funcs.writeready, &NPP_WriteReady);
    EXPECT_EQ(funcs.write, &NPP_Write);
    EXPECT_EQ(funcs.event, &NPP_HandleEvent);
    EXPECT_EQ(funcs.javaClass, nullptr);
    EXPECT_EQ(funcs.getvalue, &NPP_GetValue);
    EXPECT_EQ(funcs.setvalue, &NPP_SetValue);
    EXPECT_EQ(g_pPluginClass, &g_ScriptablePluginClass);
}

TEST(NpEntryPoints, BrowserTableVersionIsCheckedBeforeItsSize)
{
    fake::Browser browser;
    NPNetscapeFuncs funcs = browser.Funcs();
    EXPECT_EQ(NP_Initialize(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    funcs.version = 0x0100;
    funcs.size = 0;
    EXPECT_EQ(NP_Initialize(&funcs), NPERR_INCOMPATIBLE_VERSION_ERROR);
    funcs.version = 0x001B;
    funcs.size = 195;
    EXPECT_EQ(NP_Initialize(&funcs), NPERR_INVALID_FUNCTABLE_ERROR);
    funcs.size = 196;
    EXPECT_EQ(NP_Initialize(&funcs), NPERR_NO_ERROR);
    EXPECT_EQ(g_NPNFuncs.size, 196);
    EXPECT_EQ(g_NPNFuncs.memalloc, funcs.memalloc);
    EXPECT_EQ(NP_Shutdown(), NPERR_NO_ERROR);
}

TEST(NpEntryPoints, BrowserTableCopyStopsAfterSetException)
{
    fake::Browser browser;
    NPNetscapeFuncs funcs = browser.Funcs();
    funcs.getJavaEnv = reinterpret_cast<NPN_GetJavaEnvProcPtr>(0x1234);
    funcs.getJavaPeer = reinterpret_cast<NPN_GetJavaPeerProcPtr>(0x1234);
    funcs.setexception = reinterpret_cast<NPN_SetExceptionProcPtr>(0x5678);
    funcs.construct = reinterpret_cast<NPN_ConstructProcPtr>(0x9ABC);
    ASSERT_EQ(NP_Initialize(&funcs), NPERR_NO_ERROR);
    EXPECT_EQ(g_NPNFuncs.getJavaEnv, nullptr);
    EXPECT_EQ(g_NPNFuncs.getJavaPeer, nullptr);
    EXPECT_EQ(g_NPNFuncs.setexception, funcs.setexception);
    EXPECT_EQ(g_NPNFuncs.construct, nullptr);
    EXPECT_EQ(NP_Shutdown(), NPERR_NO_ERROR);
}

TEST(NpEntryPoints, MimeDescription)
{
    EXPECT_STREQ(NP_GetMIMEDescription(), "application/npSigmora:*:npSigmora certificate utilities");
}

TEST_F(NpapiTest, NullInstancesAndInstancesWithoutPlugin)
{
    char szMime[] = "application/x";
    EXPECT_EQ(m_plugin.newp(szMime, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(m_plugin.destroy(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(m_plugin.setwindow(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(m_plugin.newstream(nullptr, nullptr, nullptr, 0, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(m_plugin.destroystream(nullptr, nullptr, 0), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(m_plugin.setvalue(nullptr, NPNVxDisplay, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(m_plugin.writeready(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(m_plugin.write(nullptr, nullptr, 0, 100, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(m_plugin.getvalue(nullptr, NPPVpluginNameString, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(m_plugin.event(nullptr, nullptr), 0);

    NPP_t empty = {};
    for (NPPVariable variable : {NPPVpluginNameString, NPPVpluginDescriptionString, NPPVpluginNeedsXEmbed,
                                 NPPVpluginScriptableNPObject})
    {
        void* pv = nullptr;
        EXPECT_EQ(m_plugin.getvalue(&empty, variable, &pv), NPERR_GENERIC_ERROR) << variable;
        EXPECT_EQ(pv, nullptr);
    }
    EXPECT_EQ(m_plugin.event(&empty, nullptr), 0);
    EXPECT_EQ(m_plugin.destroy(&empty, nullptr), NPERR_NO_ERROR);
}

TEST_F(NpapiTest, StreamsAreAcceptedAndDiscarded)
{
    NPP_t npp = {};
    NewInstance(&npp);
    char buffer[100] = {0};
    EXPECT_EQ(m_plugin.write(&npp, nullptr, 0, 100, buffer), 100);
    EXPECT_EQ(m_plugin.writeready(&npp, nullptr), 268435455);
    EXPECT_EQ(m_plugin.setwindow(&npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(m_plugin.event(&npp, nullptr), 0);
    EXPECT_EQ(m_plugin.destroy(&npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(npp.pdata, nullptr);
}

TEST_F(NpapiTest, GetValueAnswers)
{
    NPP_t npp = {};
    NewInstance(&npp);
    const char* psz = nullptr;
    ASSERT_EQ(m_plugin.getvalue(&npp, NPPVpluginNameString, &psz), NPERR_NO_ERROR);
    EXPECT_STREQ(psz, "NPRuntimeTest");
    ASSERT_EQ(m_plugin.getvalue(&npp, NPPVpluginDescriptionString, &psz), NPERR_NO_ERROR);
    EXPECT_STREQ(psz, "NPRuntime scriptability API test plugin");
    BYTE rgbXEmbed[2] = {0, 0xEE};
    ASSERT_EQ(m_plugin.getvalue(&npp, NPPVpluginNeedsXEmbed, rgbXEmbed), NPERR_NO_ERROR);
    EXPECT_EQ(rgbXEmbed[0], 1);
    EXPECT_EQ(rgbXEmbed[1], 0xEE); // one byte only
    void* pv = nullptr;
    EXPECT_EQ(m_plugin.getvalue(&npp, NPPVpluginWindowBool, &pv), NPERR_GENERIC_ERROR);
    EXPECT_EQ(m_plugin.getvalue(&npp, NPPVpluginScriptableInstance, &pv), NPERR_GENERIC_ERROR);
    EXPECT_EQ(m_plugin.destroy(&npp, nullptr), NPERR_NO_ERROR);
}

TEST_F(NpapiTest, TwoRequestsGiveOneObjectRetainedForEach)
{
    NPP_t npp = {};
    NewInstance(&npp);
    NPObject* first = ScriptableObject(&npp);
    NPObject* second = ScriptableObject(&npp);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->referenceCount, 3u); // two for the browser, one for the instance
    EXPECT_EQ(first->_class, &g_ScriptablePluginClass);
    EXPECT_EQ(static_cast<CTestScriptObject*>(first)->m_npp, &npp);

    m_browser.Funcs().releaseobject(first);
    m_browser.Funcs().releaseobject(second);
    EXPECT_EQ(g_cLiveTestObjects, 1);
    EXPECT_EQ(m_plugin.destroy(&npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(g_cLiveTestObjects, 0);
    EXPECT_EQ(m_browser.LiveObjects(), 0u);
}

TEST_F(NpapiTest, ObjectOutlivesItsInstanceWhileTheBrowserHoldsIt)
{
    NPP_t npp = {};
    NewInstance(&npp);
    NPObject* obj = ScriptableObject(&npp);
    ASSERT_EQ(m_plugin.destroy(&npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(obj->referenceCount, 1u);
    EXPECT_EQ(g_cLiveTestObjects, 1);
    m_browser.Funcs().releaseobject(obj);
    EXPECT_EQ(g_cLiveTestObjects, 0);
}

TEST_F(NpapiTest, FailedCreationIsRetriedOnTheNextRequest)
{
    NPP_t npp = {};
    NewInstance(&npp);
    g_bFailAllocate = true;
    NPObject* obj = reinterpret_cast<NPObject*>(0x1);
    EXPECT_EQ(m_plugin.getvalue(&npp, NPPVpluginScriptableNPObject, &obj), NPERR_GENERIC_ERROR);
    EXPECT_EQ(obj, nullptr);
    g_bFailAllocate = false;
    obj = ScriptableObject(&npp);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->referenceCount, 2u);
    m_browser.Funcs().releaseobject(obj);
    EXPECT_EQ(m_plugin.destroy(&npp, nullptr), NPERR_NO_ERROR);
}

TEST_F(NpapiTest, MissingPluginClassGivesNoObject)
{
    NPP_t npp = {};
    NewInstance(&npp);
    qm::test::TraceCapture capture(TRACE_FLAG_ERROR, TRACE_LEVEL_VERBOSE, &g_guidTraceProvider);
    NPClass* pSaved = g_pPluginClass;
    g_pPluginClass = nullptr;
    NPObject* obj = reinterpret_cast<NPObject*>(0x1);
    EXPECT_EQ(m_plugin.getvalue(&npp, NPPVpluginScriptableNPObject, &obj), NPERR_GENERIC_ERROR);
    EXPECT_EQ(obj, nullptr);
    g_pPluginClass = pSaved;
    EXPECT_EQ(capture.Events().size(), 1u);
    EXPECT_EQ(m_plugin.destroy(&npp, nullptr), NPERR_NO_ERROR);
}

TEST_F(NpapiTest, SkeletonPropertiesAndDefaultInvocation)
{
    NPP_t npp = {};
    NewInstance(&npp);
    NPObject* obj = ScriptableObject(&npp);
    NPClass* cls = obj->_class;

    NPVariant result;
    INT32_TO_NPVARIANT(4711, result);
    NPIdentifier id = m_browser.Id("anything");
    EXPECT_FALSE(cls->hasProperty(obj, id));
    EXPECT_FALSE(cls->getProperty(obj, id, &result));
    NPVariant value = fake::IntVariant(1);
    EXPECT_FALSE(cls->setProperty(obj, id, &value));
    EXPECT_FALSE(cls->removeProperty(obj, id));
    EXPECT_FALSE(cls->hasMethod(obj, id));
    EXPECT_FALSE(cls->invoke(obj, id, nullptr, 0, &result));
    EXPECT_FALSE(cls->construct(obj, nullptr, 0, &result));
    NPIdentifier* ids = nullptr;
    uint32_t count = 0;
    EXPECT_FALSE(cls->enumerate(obj, &ids, &count));
    cls->invalidate(obj);
    EXPECT_EQ(result.type, NPVariantType_Int32);
    EXPECT_EQ(result.value.intValue, 4711);

    ASSERT_TRUE(cls->invokeDefault(obj, &value, 1, &result));
    EXPECT_EQ(fake::StringOf(result), "default method return val");
    EXPECT_EQ(result.value.stringValue.UTF8Length, 25u);
    EXPECT_EQ(result.value.stringValue.UTF8Characters[25], '\0');
    m_browser.ReleaseVariant(result);

    m_browser.FailAllocations(true);
    EXPECT_FALSE(cls->invokeDefault(obj, nullptr, 0, &result));
    m_browser.FailAllocations(false);

    m_browser.Funcs().releaseobject(obj);
    EXPECT_EQ(m_plugin.destroy(&npp, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(m_browser.OutstandingBlocks(), 0u);
}

TEST_F(NpapiTest, PropertyTracesFreeTheIdentifierText)
{
    NPP_t npp = {};
    NewInstance(&npp);
    NPObject* obj = ScriptableObject(&npp);
    qm::test::TraceCapture capture(TRACE_FLAG_INFO, TRACE_LEVEL_VERBOSE, &g_guidTraceProvider);
    EXPECT_FALSE(obj->_class->hasProperty(obj, m_browser.Id("version")));
    EXPECT_EQ(m_browser.OutstandingBlocks(), 0u);
    bool bSawName = false;
    for (const auto& e : capture.Events())
    {
        bSawName |= e.line.find("version") != std::string::npos;
    }
    EXPECT_TRUE(bSawName);
    m_browser.Funcs().releaseobject(obj);
    EXPECT_EQ(m_plugin.destroy(&npp, nullptr), NPERR_NO_ERROR);
}

TEST_F(NpapiTest, StringConversions)
{
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    size_t cBefore = m_browser.Allocations();
    ASSERT_TRUE(ConvertStringToNPVariant("", &result));
    EXPECT_EQ(m_browser.Allocations(), cBefore + 1);
    EXPECT_EQ(result.type, NPVariantType_String);
    EXPECT_EQ(result.value.stringValue.UTF8Length, 0u);
    EXPECT_EQ(result.value.stringValue.UTF8Characters[0], '\0');
    m_browser.ReleaseVariant(result);
    EXPECT_FALSE(ConvertStringToNPVariant(nullptr, &result));
    EXPECT_EQ(result.type, NPVariantType_Void);
    m_browser.FailAllocations(true);
    EXPECT_FALSE(ConvertStringToNPVariant("text", &result));
    m_browser.FailAllocations(false);

    char* psz = nullptr;
    ASSERT_EQ(ConverNPStringtoNULLEndString(&psz, "unused", 0), S_OK);
    EXPECT_STREQ(psz, "");
    delete[] psz;
    const char rgchUnterminated[] = {'a', 'b', 'c', 'X'};
    ASSERT_EQ(ConverNPStringtoNULLEndString(&psz, rgchUnterminated, 3), S_OK);
    EXPECT_STREQ(psz, "abc");
    delete[] psz;
    psz = nullptr;
    EXPECT_EQ(ConverNPStringtoNULLEndString(&psz, rgchUnterminated, 0xFFFFFFFF), E_OUTOFMEMORY);
    EXPECT_EQ(psz, nullptr);
}

TEST_F(NpapiTest, ParameterTraceNeverCarriesStringText)
{
    qm::test::TraceCapture capture(0xF, TRACE_LEVEL_VERBOSE, &g_guidTraceProvider);
    NPVariant args[7];
    VOID_TO_NPVARIANT(args[0]);
    NULL_TO_NPVARIANT(args[1]);
    BOOLEAN_TO_NPVARIANT(true, args[2]);
    INT32_TO_NPVARIANT(-7, args[3]);
    DOUBLE_TO_NPVARIANT(2048.9, args[4]);
    STRINGZ_TO_NPVARIANT("secret-pin-1234", args[5]);
    OBJECT_TO_NPVARIANT(nullptr, args[6]);
    TraceParameterInfo(args, 7);
    auto events = capture.Events();
    size_t cTyped = 0;
    for (const auto& e : events)
    {
        EXPECT_EQ(e.line.find("secret-pin"), std::string::npos);
        for (const auto& arg : e.args)
        {
            std::string raw(arg.begin(), arg.end());
            EXPECT_EQ(raw.find("secret"), std::string::npos);
            std::u16string wide(reinterpret_cast<const char16_t*>(arg.data()), arg.size() / 2);
            EXPECT_EQ(wide.find(u"secret"), std::u16string::npos);
        }
        if (e.args.size() >= 2 && e.args[0].size() == 4)
        {
            ++cTyped;
        }
    }
    EXPECT_EQ(cTyped, 7u);
}
