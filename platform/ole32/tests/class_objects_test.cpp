// CoRegisterClassObject / CoRevokeClassObject: a local server's class objects, found by
// CLSCTX_LOCAL_SERVER activation in the process, with Windows' results.
#include <gtest/gtest.h>

#include "objbase.h"

namespace
{
const CLSID kClass = {0x5EC0FFEE, 0x1234, 0x4321, {0x80, 9, 8, 7, 6, 5, 4, 3}};

struct Factory : IClassFactory
{
    ULONG refs = 1;
    int created = 0;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IClassFactory)
        {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** ppv) override
    {
        ++created;
        return QueryInterface(riid, ppv); // the factory stands for its objects here
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

class ClassObjects : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void TearDown() override { CoUninitialize(); }
    Factory m_factory;
};
} // namespace

TEST_F(ClassObjects, RegisteredObjectServesLocalServerActivationUntilRevoked)
{
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, CoRegisterClassObject(kClass, &m_factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    EXPECT_NE(0u, cookie);
    EXPECT_EQ(2u, m_factory.refs) << "held while registered";

    IUnknown* object = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(kClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(1, m_factory.created);
    object->Release();
    EXPECT_EQ(S_OK, CoCreateInstance(kClass, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)));
    object->Release();
    void* none = &none;
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &none))
        << "registered for the local server only";
    EXPECT_EQ(nullptr, none);

    EXPECT_EQ(S_OK, CoRevokeClassObject(cookie));
    EXPECT_EQ(1u, m_factory.refs) << "released when revoked";
    EXPECT_EQ(CO_E_OBJNOTREG, CoRevokeClassObject(cookie));
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(kClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &none));
}

TEST_F(ClassObjects, RefusedRegistrations)
{
    DWORD cookie = 7;
    EXPECT_EQ(E_INVALIDARG, CoRegisterClassObject(kClass, nullptr, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    ASSERT_EQ(S_OK, CoRegisterClassObject(kClass, &m_factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie));
    DWORD second = 0;
    EXPECT_EQ(CO_E_OBJISREG, CoRegisterClassObject(kClass, &m_factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &second));
    EXPECT_EQ(S_OK, CoRevokeClassObject(cookie));

    CoUninitialize();
    EXPECT_EQ(CO_E_NOTINITIALIZED,
              CoRegisterClassObject(kClass, &m_factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    EXPECT_EQ(0u, cookie);
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}
