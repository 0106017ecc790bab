// The standard global interface table as Windows documents it: one table per process, an
// interface registered by one thread fetched by another, E_INVALIDARG for unknown cookies.
#include <gtest/gtest.h>

#include <thread>

#include "counted_object.h"
#include "objbase.h"
#include "objidl.h"

namespace
{
class GlobalInterfaceTable : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&m_git)));
        ASSERT_NE(nullptr, m_git);
    }
    void TearDown() override
    {
        if (m_git)
            m_git->Release();
        CoUninitialize();
    }
    IGlobalInterfaceTable* m_git = nullptr;
};
} // namespace

TEST_F(GlobalInterfaceTable, OneTablePerProcess)
{
    IGlobalInterfaceTable* again = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&again)));
    EXPECT_EQ(m_git, again);
    again->Release();

    IUnknown* outer = m_git;
    void* none = &outer;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, CoCreateInstance(CLSID_StdGlobalInterfaceTable, outer, CLSCTX_INPROC_SERVER,
                                                      IID_IUnknown, &none));
    EXPECT_EQ(nullptr, none);
}

TEST_F(GlobalInterfaceTable, NeedsComOnTheThread)
{
    std::thread([] {
        void* git = nullptr;
        EXPECT_EQ(CO_E_NOTINITIALIZED, CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                                        IID_IGlobalInterfaceTable, &git));
    }).join();
}

TEST_F(GlobalInterfaceTable, RegisterFetchFromAnotherThreadAndRevoke)
{
    CountedObject object;
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, m_git->RegisterInterfaceInGlobal(&object, IID_IDispatch, &cookie));
    EXPECT_NE(0u, cookie);
    EXPECT_EQ(2u, object.refs) << "the table holds its own reference";

    std::thread([&] {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        IDispatch* fetched = nullptr;
        EXPECT_EQ(S_OK, m_git->GetInterfaceFromGlobal(cookie, IID_IDispatch, reinterpret_cast<void**>(&fetched)));
        EXPECT_EQ(static_cast<IDispatch*>(&object), fetched);
        EXPECT_EQ(3u, object.refs) << "the caller's reference";
        if (fetched)
            fetched->Release();
        CoUninitialize();
    }).join();

    void* other = &object;
    EXPECT_EQ(E_NOINTERFACE, m_git->GetInterfaceFromGlobal(cookie, IID_IClassFactory, &other));
    EXPECT_EQ(nullptr, other);

    EXPECT_EQ(S_OK, m_git->RevokeInterfaceFromGlobal(cookie));
    EXPECT_EQ(1u, object.refs);
    EXPECT_EQ(E_INVALIDARG, m_git->RevokeInterfaceFromGlobal(cookie));
    void* gone = &object;
    EXPECT_EQ(E_INVALIDARG, m_git->GetInterfaceFromGlobal(cookie, IID_IDispatch, &gone));
    EXPECT_EQ(nullptr, gone);
}

TEST_F(GlobalInterfaceTable, RefusedRegistrations)
{
    CountedObject object;
    DWORD cookie = 7;
    EXPECT_EQ(E_NOINTERFACE, m_git->RegisterInterfaceInGlobal(&object, IID_IClassFactory, &cookie));
    EXPECT_EQ(0u, cookie);
    EXPECT_EQ(1u, object.refs);
    EXPECT_EQ(E_INVALIDARG, m_git->RegisterInterfaceInGlobal(nullptr, IID_IUnknown, &cookie));
    EXPECT_EQ(E_INVALIDARG, m_git->RegisterInterfaceInGlobal(&object, IID_IUnknown, nullptr));
    EXPECT_EQ(E_INVALIDARG, m_git->GetInterfaceFromGlobal(0, IID_IUnknown, nullptr));

    // Two registrations of one object are two cookies.
    DWORD a = 0, b = 0;
    ASSERT_EQ(S_OK, m_git->RegisterInterfaceInGlobal(&object, IID_IUnknown, &a));
    ASSERT_EQ(S_OK, m_git->RegisterInterfaceInGlobal(&object, IID_IUnknown, &b));
    EXPECT_NE(a, b);
    EXPECT_EQ(S_OK, m_git->RevokeInterfaceFromGlobal(a));
    EXPECT_EQ(S_OK, m_git->RevokeInterfaceFromGlobal(b));
    EXPECT_EQ(1u, object.refs);
}
