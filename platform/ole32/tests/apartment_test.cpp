// Apartments are per thread and counted: S_OK first, S_FALSE again in the same mode,
// RPC_E_CHANGED_MODE (not counted) in the other; CoUninitialize balances.
#include <thread>
#include <vector>

#include "machine_fixture.h"
#include "objbase.h"

namespace
{
const CLSID kUnregistered = {0x0BADC0DE, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

// REGDB_E_CLASSNOTREG when COM is initialised on this thread, CO_E_NOTINITIALIZED if not.
HRESULT Probe()
{
    IUnknown* unknown = nullptr;
    return CoCreateInstance(kUnregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                            reinterpret_cast<void**>(&unknown));
}

template <class F>
void OnFreshThread(F f)
{
    std::thread(f).join();
}

struct InitStep
{
    DWORD flags;
    HRESULT expected;
};

struct InitCase
{
    const char* name;
    std::vector<InitStep> steps;
};

class ApartmentTest : public TempMachineTest
{
};
} // namespace

TEST_F(ApartmentTest, InitialisationResultsPerMode)
{
    const std::vector<InitCase> cases = {
        {"apartment twice", {{COINIT_APARTMENTTHREADED, S_OK}, {COINIT_APARTMENTTHREADED, S_FALSE}}},
        {"multithreaded twice", {{COINIT_MULTITHREADED, S_OK}, {COINIT_MULTITHREADED, S_FALSE}}},
        {"apartment then multithreaded", {{COINIT_APARTMENTTHREADED, S_OK}, {COINIT_MULTITHREADED, RPC_E_CHANGED_MODE}}},
        {"multithreaded then apartment", {{COINIT_MULTITHREADED, S_OK}, {COINIT_APARTMENTTHREADED, RPC_E_CHANGED_MODE}}},
        {"extra flags keep the mode",
         {{COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE, S_OK},
          {COINIT_APARTMENTTHREADED | COINIT_SPEED_OVER_MEMORY, S_FALSE}}},
        {"unknown flag", {{0x100, E_INVALIDARG}, {COINIT_MULTITHREADED, S_OK}}},
    };
    for (const InitCase& c : cases)
    {
        OnFreshThread([&] {
            int counted = 0;
            for (const InitStep& step : c.steps)
            {
                const HRESULT hr = CoInitializeEx(nullptr, step.flags);
                EXPECT_EQ(hr, step.expected) << c.name;
                if (SUCCEEDED(hr))
                    ++counted;
            }
            for (int i = 0; i < counted; ++i)
                CoUninitialize();
            EXPECT_EQ(Probe(), CO_E_NOTINITIALIZED) << c.name << ": every success balanced";
        });
    }
}

TEST_F(ApartmentTest, CoInitializeIsApartmentThreadedAndReservedMustBeNull)
{
    OnFreshThread([] {
        int reserved = 0;
        EXPECT_EQ(CoInitializeEx(&reserved, COINIT_APARTMENTTHREADED), E_INVALIDARG);
        EXPECT_EQ(Probe(), CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        CoUninitialize();
    });
}

TEST_F(ApartmentTest, UninitialiseBalancesEachSuccessfulCall)
{
    OnFreshThread([] {
        EXPECT_EQ(Probe(), CO_E_NOTINITIALIZED);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
        EXPECT_EQ(Probe(), REGDB_E_CLASSNOTREG);
        CoUninitialize();
        EXPECT_EQ(Probe(), REGDB_E_CLASSNOTREG) << "one initialisation still open";
        CoUninitialize();
        EXPECT_EQ(Probe(), CO_E_NOTINITIALIZED);
        CoUninitialize(); // unbalanced: ignored
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK) << "a new apartment, any mode";
        CoUninitialize();
    });
}

TEST_F(ApartmentTest, EachThreadHasItsOwnState)
{
    // A single-threaded apartment: it belongs to this thread alone (the process-wide
    // multithreaded apartment that Windows lends to uninitialised threads is not modelled).
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    OnFreshThread([] {
        EXPECT_EQ(Probe(), CO_E_NOTINITIALIZED) << "another thread's initialisation does not count";
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "nor does its mode";
        CoUninitialize();
    });
    EXPECT_EQ(Probe(), REGDB_E_CLASSNOTREG);
    CoUninitialize();
}
