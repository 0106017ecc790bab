// Scope, result and composite-label events at their flag levels.
#include <gtest/gtest.h>

#include <qm/trace_capture.h>

#include "HResult.h"
#include "Trace.h"

namespace
{
class TraceTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(StartTracing(), (ULONG)ERROR_SUCCESS); }
    void TearDown() override { StopTracing(); }

    static void RunOperation()
    {
        TraceHelper trace(u"CCryptoAgent::GetLastErrorDesc");
        TraceResult(S_OK, u"CryptAcquireContext");
        TraceResult(E_INVALIDARG, u"CertNameToStr");
        TraceStepSucceeded(u"CScriptablePluginObject::npGetVersion", u"ConvertStringToNPVariant");
        TraceStepFailed(u"ScriptablePluginObject", 123, u"CScriptablePluginObject::npGetVersion",
                        u"Check parameter", u"argCount != 0", E_FAIL);
        QM_TRACE_ERROR(u"a check of the plug-in's own");
    }

    static std::vector<std::u16string> FirstTexts(const std::vector<qm::test::CapturedEvent>& events)
    {
        std::vector<std::u16string> texts;
        for (const auto& e : events)
        {
            texts.push_back(e.args.empty() ? u"" : e.ArgText(0));
        }
        return texts;
    }
};
} // namespace

TEST_F(TraceTest, FunctionFlagGivesEntryAndExitOnly)
{
    qm::test::TraceCapture capture(TRACE_FLAG_FUNCTION, TRACE_LEVEL_VERBOSE, &g_guidTraceProvider);
    RunOperation();
    auto events = capture.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].ArgText(0), u"Enter");
    EXPECT_EQ(events[0].ArgText(1), u"CCryptoAgent::GetLastErrorDesc");
    EXPECT_EQ(events[1].ArgText(0), u"Exit");
    EXPECT_EQ(events[1].ArgText(1), u"CCryptoAgent::GetLastErrorDesc");
    EXPECT_EQ(events[0].provider, g_guidTraceProvider);
}

TEST_F(TraceTest, FailureFlagGivesOnlyFailedSteps)
{
    qm::test::TraceCapture capture(TRACE_FLAG_FAILURE, TRACE_LEVEL_VERBOSE, &g_guidTraceProvider);
    RunOperation();
    auto events = capture.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].ArgText(0), u"CertNameToStr");
    EXPECT_EQ(events[0].ArgUInt32(1), 0x80070057u);
    EXPECT_EQ(events[1].ArgText(0), u"[ScriptablePluginObject(123):] CScriptablePluginObject::npGetVersion - "
                                    u"Check parameter [Reason:argCount != 0]");
    EXPECT_EQ(events[1].ArgUInt32(1), 0x80004005u);
}

TEST_F(TraceTest, InfoFlagGivesSuccessfulStepsWithCompositeLabels)
{
    qm::test::TraceCapture capture(TRACE_FLAG_INFO, TRACE_LEVEL_VERBOSE, &g_guidTraceProvider);
    RunOperation();
    auto texts = FirstTexts(capture.Events());
    EXPECT_EQ(texts, (std::vector<std::u16string>{
                         u"CryptAcquireContext", u"CScriptablePluginObject::npGetVersion - ConvertStringToNPVariant"}));
}

TEST_F(TraceTest, ErrorFlagGivesOwnChecksOnly)
{
    qm::test::TraceCapture capture(TRACE_FLAG_ERROR, TRACE_LEVEL_VERBOSE, &g_guidTraceProvider);
    RunOperation();
    EXPECT_EQ(FirstTexts(capture.Events()), (std::vector<std::u16string>{u"a check of the plug-in's own"}));
}

TEST_F(TraceTest, NothingIsWrittenWhileDisabled)
{
    {
        qm::test::TraceCapture capture(0, TRACE_LEVEL_VERBOSE, &g_guidTraceProvider);
        RunOperation();
        EXPECT_TRUE(capture.Events().empty());
        EXPECT_FALSE(IsTraceFlagEnabled(TRACE_FLAG_FUNCTION));
    }
    // After the capture ends and after unregistering, nothing is enabled.
    StopTracing();
    EXPECT_FALSE(IsTraceFlagEnabled(TRACE_FLAG_FAILURE));
}

TEST_F(TraceTest, ScopesAndResultsKeepTheLastError)
{
    qm::test::TraceCapture capture(0xF, TRACE_LEVEL_VERBOSE, &g_guidTraceProvider);
    SetLastError(ERROR_NO_MORE_ITEMS);
    {
        TraceHelper trace(u"QueryCertContextInfo");
        TraceResult(E_FAIL, u"step");
        TraceStepFailed(u"Unit", 1, u"Op", u"Step", u"!bResult", E_FAIL);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_ITEMS);
    }
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_ITEMS);
    EXPECT_FALSE(capture.Events().empty());
}

TEST_F(TraceTest, LongCompositeLabelsAreCutAt512Characters)
{
    qm::test::TraceCapture capture(TRACE_FLAG_FAILURE, TRACE_LEVEL_VERBOSE, &g_guidTraceProvider);
    std::u16string wstrLong(2000, u'x');
    TraceStepFailed(u"Unit", 7, u"Op", wstrLong.c_str(), u"reason", E_FAIL);
    auto events = capture.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].ArgText(0).size(), 511u);
}
