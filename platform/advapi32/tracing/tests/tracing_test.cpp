// Event tracing as a WPP-style provider sees it: enabled by the machine's controller
// (QM_TRACE) or by the capture hook, silent otherwise.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <thread>

#include "evntrace.h"
#include "qm/trace_capture.h"

namespace
{
const GUID kProvider = {0x5C8F2A58, 0x369A, 0x44F0, {0x92, 0x35, 0xC0, 0x5E, 0xCB, 0x1D, 0xD7, 0x3E}};
const GUID kOther = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
const GUID kSource = {0xA1B2C3D4, 0x0001, 0x0002, {0, 1, 2, 3, 4, 5, 6, 7}};
const ULONG kWppFlags = TRACE_MESSAGE_SEQUENCE | TRACE_MESSAGE_GUID | TRACE_MESSAGE_TIMESTAMP |
                        TRACE_MESSAGE_SYSTEMINFO;

// What a WPP provider keeps: the logger handle and its flags, refreshed by the callback.
struct Provider
{
    TRACEHANDLE registration = 0;
    TRACEHANDLE logger = 0;
    ULONG flags = 0;
    UCHAR level = 0;
    int enables = 0, disables = 0;

    static ULONG WINAPI Callback(WMIDPREQUESTCODE code, PVOID context, ULONG*, PVOID buffer)
    {
        auto* self = static_cast<Provider*>(context);
        if (code == WMI_ENABLE_EVENTS)
        {
            self->logger = GetTraceLoggerHandle(buffer);
            self->flags = GetTraceEnableFlags(self->logger);
            self->level = GetTraceEnableLevel(self->logger);
            ++self->enables;
        }
        else if (code == WMI_DISABLE_EVENTS)
        {
            self->logger = 0;
            self->flags = 0;
            ++self->disables;
        }
        return ERROR_SUCCESS;
    }

    explicit Provider(const GUID& guid = kProvider)
    {
        GUID eventClass = guid;
        TRACE_GUID_REGISTRATION reg = {&eventClass, nullptr};
        EXPECT_EQ(ERROR_SUCCESS,
                  RegisterTraceGuidsW(Callback, this, &guid, 1, &reg, nullptr, nullptr, &registration));
        EXPECT_NE(nullptr, reg.RegHandle);
    }
    ~Provider() { UnregisterTraceGuids(registration); }

    // The check WPP's macros make before formatting anything.
    template <class... Args>
    void Trace(ULONG flag, USHORT number, Args... args)
    {
        if (logger && (flags & flag))
            TraceMessage(logger, kWppFlags, &kSource, number, args..., nullptr);
    }
};

class TracingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::random_device rd;
        m_file = std::filesystem::temp_directory_path() / ("qm-trace-" + std::to_string(rd()) + ".txt");
        unsetenv("QM_TRACE");
    }
    void TearDown() override
    {
        unsetenv("QM_TRACE");
        std::filesystem::remove(m_file);
    }
    void Control(const std::string& value) { setenv("QM_TRACE", value.c_str(), 1); }
    std::vector<std::string> Lines() const
    {
        std::ifstream in(m_file);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::filesystem::path m_file;
};

TEST_F(TracingTest, WithoutAControllerNothingIsEnabledOrWritten)
{
    for (std::string value : std::vector<std::string>{"", "0x0:FILE", "0:FILE", "FILE", "zz:FILE", "0x4:"})
    {
        SCOPED_TRACE(value);
        auto at = value.find("FILE");
        if (at != std::string::npos)
            value.replace(at, 4, m_file.string());
        if (value.empty())
            unsetenv("QM_TRACE");
        else
            Control(value);
        Provider provider;
        EXPECT_EQ(0, provider.enables);
        EXPECT_EQ(0u, GetTraceEnableFlags(provider.logger));
        // Arguments that cannot be read: an event that is not enabled never touches them.
        EXPECT_NE(ULONG(ERROR_SUCCESS),
                  TraceMessage(provider.logger, kWppFlags, &kSource, 1, reinterpret_cast<PVOID>(0x10), SIZE_T(64),
                               nullptr));
        EXPECT_FALSE(std::filesystem::exists(m_file));
    }
}

TEST_F(TracingTest, ControllerEnablesWithItsMaskAndWritesOneLinePerEvent)
{
    Control("0x6:" + m_file.string());
    Provider provider;
    ASSERT_EQ(1, provider.enables);
    EXPECT_EQ(6u, provider.flags);
    EXPECT_EQ(TRACE_LEVEL_VERBOSE, provider.level);

    DWORD hr = 0x80070005;
    const char16_t name[] = u"CCryptoAgent::Sign";
    ULONGLONG big = 0x10;
    BYTE raw[3] = {1, 2, 3};
    const char16_t odd[] = u"a \"q\"\nb";
    provider.Trace(8, 10);                                    // entry/exit: not in the mask
    provider.Trace(2, 17, &hr, sizeof hr, name, sizeof name, &big, sizeof big, raw, sizeof raw);
    provider.Trace(4, 18, odd, sizeof odd);
    provider.Trace(1, 19);                                    // not in the mask either

    auto lines = Lines();
    ASSERT_EQ(2u, lines.size());
    const std::string prefix = R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z \{5C8F2A58-369A-44F0-9235-C05ECB1DD73E\} )"
                               R"(0x0000002b \{A1B2C3D4-0001-0002-0001-020304050607\} )";
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex(prefix + R"(17 0x80070005 "CCryptoAgent::Sign" 0x0000000000000010 hex:010203$)")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(prefix + R"(18 "a \\"q\\"\\nb"$)"))) << lines[1];

    // After unregistering, the old logger handle writes nothing.
    TRACEHANDLE old = provider.logger;
    UnregisterTraceGuids(provider.registration);
    provider.registration = 0;
    EXPECT_NE(ULONG(ERROR_SUCCESS), TraceMessage(old, kWppFlags, &kSource, 20, nullptr));
    EXPECT_EQ(2u, Lines().size());
}

TEST_F(TracingTest, ThreadsAndProcessesAppendWholeLines)
{
    Control("0xF:" + m_file.string());
    const int perWriter = 200;
    auto writeMany = [&](USHORT number) {
        Provider provider;
        const char16_t text[] = u"a line of some length to make interleaving visible if it happened";
        for (int i = 0; i < perWriter; ++i)
        {
            DWORD n = DWORD(i);
            provider.Trace(4, number, &n, sizeof n, text, sizeof text);
        }
    };
    std::vector<pid_t> children;
    for (USHORT p = 0; p < 2; ++p)
    {
        pid_t pid = fork();
        if (pid == 0)
        {
            writeMany(USHORT(100 + p));
            _exit(0);
        }
        children.push_back(pid);
    }
    std::vector<std::thread> threads;
    for (USHORT t = 0; t < 3; ++t)
        threads.emplace_back(writeMany, USHORT(200 + t));
    for (auto& t : threads)
        t.join();
    for (pid_t pid : children)
    {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto lines = Lines();
    EXPECT_EQ(size_t(5 * perWriter), lines.size());
    std::regex whole(R"(^\S+ \{[0-9A-F-]+\} 0x[0-9a-f]{8} \{[0-9A-F-]+\} \d+ 0x[0-9a-f]{8} "a line of some length to make interleaving visible if it happened"$)");
    for (const auto& line : lines)
        ASSERT_TRUE(std::regex_match(line, whole)) << line;
}

TEST_F(TracingTest, CaptureEnablesProvidersAndKeepsTheirEvents)
{
    Control("0xF:" + m_file.string());
    Provider before;
    ASSERT_EQ(15u, before.flags);
    {
        qm::test::TraceCapture capture(0x2 | 0x8, TRACE_LEVEL_INFORMATION);
        EXPECT_EQ(0xAu, before.flags);
        EXPECT_EQ(TRACE_LEVEL_INFORMATION, before.level);
        Provider during;
        EXPECT_EQ(0xAu, during.flags);

        DWORD code = 0x80090016;
        const char16_t label[] = u"CryptAcquireContext";
        before.Trace(4, 1, &code, sizeof code); // filtered by the capture's mask
        before.Trace(2, 2, &code, sizeof code, label, sizeof label);
        during.Trace(8, 3);

        auto events = capture.Events();
        ASSERT_EQ(2u, events.size());
        EXPECT_EQ(2, events[0].messageNumber);
        EXPECT_EQ(0xAu, events[0].enableFlags);
        EXPECT_EQ(kWppFlags, events[0].messageFlags);
        EXPECT_TRUE(events[0].provider == kProvider);
        EXPECT_TRUE(events[0].messageGuid == kSource);
        EXPECT_EQ(0x80090016u, events[0].ArgUInt32(0));
        EXPECT_EQ(u"CryptAcquireContext", events[0].ArgText(1));
        EXPECT_NE(std::string::npos, events[0].line.find(" 2 0x80090016 \"CryptAcquireContext\""));
        EXPECT_EQ(3, events[1].messageNumber);
        EXPECT_TRUE(events[1].args.empty());
        capture.Clear();
        EXPECT_TRUE(capture.Events().empty());
        EXPECT_FALSE(std::filesystem::exists(m_file)); // captured events go nowhere else
    }
    // The machine's controller handed over to the capture and takes over again.
    EXPECT_EQ(2, before.disables);
    EXPECT_EQ(3, before.enables);
    EXPECT_EQ(15u, before.flags);
    before.Trace(1, 4);
    EXPECT_EQ(1u, Lines().size());
}

TEST_F(TracingTest, CaptureOfOneProviderLeavesOthersAlone)
{
    Provider mine;
    Provider other(kOther);
    qm::test::TraceCapture capture(0x4, TRACE_LEVEL_VERBOSE, &kProvider);
    EXPECT_EQ(4u, mine.flags);
    EXPECT_EQ(0u, other.flags);
    EXPECT_EQ(0, other.enables);
    mine.Trace(4, 7);
    ASSERT_EQ(1u, capture.Events().size());
    EXPECT_TRUE(capture.Events()[0].provider == kProvider);
}
} // namespace
