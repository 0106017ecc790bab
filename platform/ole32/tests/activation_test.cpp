// CoCreateInstance of in-process servers registered under HKEY_CLASSES_ROOT, with the
// results Windows gives for each way activation can fail.
#include <thread>

#include "machine_fixture.h"
#include "msxml6.h"
#include "objbase.h"
#include "oleauto.h"
#include "qm/com_registration.h"
#include "winreg.h"

namespace
{
const CLSID kTestClass = {0x5EC0FFEE, 0xABCD, 0x4321, {0x80, 1, 2, 3, 4, 5, 6, 7}};

class ActivationTest : public TempMachineTest
{
protected:
    void SetUp() override
    {
        TempMachineTest::SetUp();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    }
    void TearDown() override
    {
        CoUninitialize();
        TempMachineTest::TearDown();
    }

    static HRESULT Create(REFCLSID clsid, REFIID iid, void** out, IUnknown* outer = nullptr,
                          DWORD context = CLSCTX_INPROC_SERVER)
    {
        *out = reinterpret_cast<void*>(0x1); // must come back NULL on failure
        return CoCreateInstance(clsid, outer, context, iid, out);
    }
};

// An object only to stand as an outer IUnknown.
struct OuterObject : IUnknown
{
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};
} // namespace

TEST_F(ActivationTest, FailsWithoutComOnTheCallingThread)
{
    ASSERT_EQ(qm::RegisterInprocServer(CLSID_DOMDocument, QM_TEST_DOM_MODULE, u"Both"), S_OK);
    std::thread([] {
        void* out = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument, &out),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(out, nullptr);
    }).join();
}

TEST_F(ActivationTest, RegistrationProblemsGiveWindowsResults)
{
    struct Case
    {
        const char* name;
        const char* module; // nullptr: CLSID key without InprocServer32
        DWORD context;
        HRESULT expected;
    };
    const Case cases[] = {
        {"not registered", "", CLSCTX_INPROC_SERVER, REGDB_E_CLASSNOTREG},
        {"no InprocServer32 key", nullptr, CLSCTX_INPROC_SERVER, REGDB_E_CLASSNOTREG},
        {"module missing", "/nonexistent/server.so", CLSCTX_INPROC_SERVER, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        {"module without DllGetClassObject", QM_TEST_PLAIN_MODULE, CLSCTX_INPROC_SERVER, CO_E_ERRORINDLL},
        {"local server asked for", QM_TEST_DOM_MODULE, CLSCTX_LOCAL_SERVER, REGDB_E_CLASSNOTREG},
        {"class the module does not serve", QM_TEST_DOM_MODULE, CLSCTX_INPROC_SERVER, CLASS_E_CLASSNOTAVAILABLE},
    };
    for (const Case& c : cases)
    {
        ASSERT_EQ(qm::UnregisterInprocServer(kTestClass), S_OK);
        if (c.module == nullptr)
        {
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{5EC0FFEE-ABCD-4321-8001-020304050607}", 0, nullptr,
                                      0, KEY_WRITE, nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            RegCloseKey(key);
        }
        else if (*c.module != 0)
        {
            ASSERT_EQ(qm::RegisterInprocServer(kTestClass, c.module, u"Both"), S_OK) << c.name;
        }
        void* out = nullptr;
        EXPECT_EQ(Create(kTestClass, IID_IUnknown, &out, nullptr, c.context), c.expected) << c.name;
        EXPECT_EQ(out, nullptr) << c.name;
    }
}

TEST_F(ActivationTest, CreatesTheRegisteredClassWithCountedReferences)
{
    ASSERT_EQ(qm::RegisterInprocServer(CLSID_DOMDocument, QM_TEST_DOM_MODULE, u"Both"), S_OK);
    IXMLDOMDocument* document = nullptr;
    ASSERT_EQ(Create(CLSID_DOMDocument, IID_IXMLDOMDocument, reinterpret_cast<void**>(&document)), S_OK);
    ASSERT_NE(document, nullptr);

    IUnknown* unknown = nullptr;
    ASSERT_EQ(document->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(document)) << "one identity";
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(document->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(document->AddRef(), 4u);
    EXPECT_EQ(document->Release(), 3u);
    EXPECT_EQ(dispatch->Release(), 2u);
    EXPECT_EQ(unknown->Release(), 1u);

    void* other = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(document->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(document->Release(), 0u);
}

TEST_F(ActivationTest, InterfaceAndAggregationRefusals)
{
    ASSERT_EQ(qm::RegisterInprocServer(CLSID_DOMDocument, QM_TEST_DOM_MODULE, u"Both"), S_OK);
    void* out = nullptr;
    EXPECT_EQ(Create(CLSID_DOMDocument, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    OuterObject outer;
    EXPECT_EQ(Create(CLSID_DOMDocument, IID_IUnknown, &out, &outer), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Create(CLSID_DOMDocument, IID_IXMLDOMDocument, &out, &outer), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr), E_INVALIDARG);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_DOMDocument, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    IUnknown* created = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&created)), S_OK);
    ASSERT_NE(created, nullptr);
    created->Release();
    factory->Release();
}

TEST_F(ActivationTest, PlatformServersRegisterAsOnWindows)
{
    ASSERT_EQ(qm::RegisterPlatformServers(), S_OK);
    WCHAR value[1024] = {};
    DWORD bytes = sizeof(value);
    const auto* key = u"CLSID\\{F6D90F11-9C73-11D3-B32E-00C04F990BB4}\\InprocServer32";
    ASSERT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, value, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(std::filesystem::path(std::u16string(value)), std::filesystem::path(QM_TEST_DOM_MODULE));
    bytes = sizeof(value);
    ASSERT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, key, u"ThreadingModel", RRF_RT_REG_SZ, nullptr, value, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(value), u"Both");
    // HKEY_CLASSES_ROOT is the machine's SOFTWARE\Classes.
    bytes = sizeof(value);
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE,
                           u"SOFTWARE\\Classes\\CLSID\\{F6D90F11-9C73-11D3-B32E-00C04F990BB4}\\InprocServer32",
                           u"ThreadingModel", RRF_RT_REG_SZ, nullptr, value, &bytes),
              ERROR_SUCCESS);

    void* out = nullptr;
    ASSERT_EQ(Create(CLSID_DOMDocument, IID_IXMLDOMDocument, &out), S_OK);
    static_cast<IUnknown*>(out)->Release();

    ASSERT_EQ(qm::UnregisterServerModule(qm::PlatformServerDirectory() / "msxml3.so"), S_OK);
    EXPECT_EQ(Create(CLSID_DOMDocument, IID_IXMLDOMDocument, &out), REGDB_E_CLASSNOTREG);
}

TEST_F(ActivationTest, RegistrationNeedsElevation)
{
    qm::SetProcessElevated(false);
    EXPECT_EQ(qm::RegisterInprocServer(CLSID_DOMDocument, QM_TEST_DOM_MODULE, u"Both"),
              HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(qm::RegisterPlatformServers(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    void* out = nullptr;
    EXPECT_EQ(Create(CLSID_DOMDocument, IID_IXMLDOMDocument, &out), REGDB_E_CLASSNOTREG);
}
