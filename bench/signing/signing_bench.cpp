// SignMsgPKCS7 through the signing plug-in's script object (RSA-2048, SHA-256, attached)
// beside `openssl cms -sign -binary -nodetach` on the same bytes, on a machine set up with
// qmctl. Counters: time ratio to openssl, peak memory of this process (the plug-in runs
// inside it) and of openssl.
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include <npfunctions.h>
#include <qm/machine.h>

#include "FakeBrowser.h"

namespace
{
int Run(const std::string& command)
{
    int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One machine with an RSA certificate in MY whose key is in the AES provider, and one
// instance of the plug-in with its scriptable object.
class CSigningSetup
{
public:
    CSigningSetup()
    {
        char pattern[] = "/tmp/qmsignbench-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("mkdtemp");
        m_dir = pattern;
        std::string q = std::string(QM_QMCTL) + " --machine '" + (m_dir / "m").string() + "' ";
        std::string key = (m_dir / "key.pem").string();
        m_cert = (m_dir / "cert.pem").string();
        m_key = key;
        if (Run(q + "init") != 0 ||
            Run("openssl req -x509 -newkey rsa:2048 -nodes -keyout '" + key + "' -sha256 -subj '/CN=Bench Signer' "
                "-days 30 -addext keyUsage=critical,digitalSignature -out '" + m_cert + "'") != 0 ||
            Run(q + "key import 'Microsoft Enhanced RSA and AES Cryptographic Provider' bench 2 '" + key + "' '" +
                m_cert + "'") != 0)
            throw std::runtime_error("machine setup");
        qm::SetMachineDirectory(m_dir / "m");

        m_library = dlopen(QM_SIGNING_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        auto getEntryPoints = m_library ? (NP_GetEntryPointsFunc)dlsym(m_library, "NP_GetEntryPoints") : nullptr;
        auto initialize = m_library ? (NP_InitializeFunc)dlsym(m_library, "NP_Initialize") : nullptr;
        m_shutdown = m_library ? (NP_ShutdownFunc)dlsym(m_library, "NP_Shutdown") : nullptr;
        if (!getEntryPoints || !initialize || !m_shutdown)
            throw std::runtime_error("plug-in exports");
        m_funcs.size = sizeof(m_funcs);
        getEntryPoints(&m_funcs);
        initialize(&m_browser.Funcs());
        char mime[] = "application/npSigmora.Pellix.x86";
        m_funcs.newp(mime, &m_npp, NP_EMBED, 0, nullptr, nullptr, nullptr);
        m_funcs.getvalue(&m_npp, NPPVpluginScriptableNPObject, &m_object);
        NPVariant args[4] = {fake::StringVariant("Bench Signer"), fake::StringVariant(""), fake::StringVariant(""),
                             fake::StringVariant("")};
        NPVariant result;
        if (!m_object || !m_browser.Invoke(m_object, "SelectCertificate", args, 4, &result))
            throw std::runtime_error("SelectCertificate");
    }

    ~CSigningSetup()
    {
        if (m_object)
            m_browser.Funcs().releaseobject(m_object);
        m_funcs.destroy(&m_npp, nullptr);
        m_shutdown();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    // The Base64 message's length, or 0 on failure.
    size_t Sign(const std::string& text)
    {
        NPVariant args[3];
        STRINGN_TO_NPVARIANT(text.data(), (uint32_t)text.size(), args[0]);
        args[1] = fake::StringVariant("SHA-256");
        BOOLEAN_TO_NPVARIANT(true, args[2]);
        NPVariant result;
        if (!m_browser.Invoke(m_object, "SignMsgPKCS7", args, 3, &result))
            return 0;
        size_t length = NPVARIANT_TO_STRING(result).UTF8Length;
        m_browser.ReleaseVariant(result);
        return length;
    }

    // Seconds openssl takes to sign the same bytes, and its peak resident size in KiB (GNU time).
    double OpensslSeconds(const std::string& text, long* pPeakKiB)
    {
        std::string in = (m_dir / "content.txt").string();
        std::string peak = (m_dir / "peak.txt").string();
        {
            std::ofstream out(in, std::ios::binary);
            out.write(text.data(), (std::streamsize)text.size());
        }
        auto start = std::chrono::steady_clock::now();
        Run("/usr/bin/time -f %M -o '" + peak + "' openssl cms -sign -binary -nodetach -md sha256 -in '" + in +
            "' -signer '" + m_cert + "' -inkey '" + m_key + "' -outform DER -out /dev/null");
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        std::ifstream peakIn(peak);
        *pPeakKiB = 0;
        peakIn >> *pPeakKiB;
        return elapsed.count();
    }

private:
    std::filesystem::path m_dir;
    std::string m_cert;
    std::string m_key;
    fake::Browser m_browser;
    void* m_library = nullptr;
    NP_ShutdownFunc m_shutdown = nullptr;
    NPPluginFuncs m_funcs{};
    NPP_t m_npp{};
    NPObject* m_object = nullptr;
};

CSigningSetup& Setup()
{
    static CSigningSetup setup;
    return setup;
}

std::string Text(size_t cb)
{
    std::string text(cb, 'a');
    for (size_t i = 0; i < cb; ++i)
        text[i] = (char)('a' + i % 26);
    return text;
}

void BM_SignMsgPKCS7(benchmark::State& state)
{
    CSigningSetup& setup = Setup();
    const std::string text = Text((size_t)state.range(0) << 20);
    double seconds = 0;
    long iterations = 0;
    for (auto _ : state)
    {
        auto start = std::chrono::steady_clock::now();
        size_t length = setup.Sign(text);
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (length == 0)
        {
            state.SkipWithError("SignMsgPKCS7 failed");
            return;
        }
        seconds += elapsed.count();
        ++iterations;
        state.SetIterationTime(elapsed.count());
    }
    long opensslPeakKiB = 0;
    double openssl = setup.OpensslSeconds(text, &opensslPeakKiB);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["ratio_to_openssl"] = iterations ? (seconds / iterations) / openssl : 0;
    state.counters["openssl_s"] = openssl;
    state.counters["peak_MiB"] = usage.ru_maxrss / 1024.0;
    state.counters["openssl_peak_MiB"] = opensslPeakKiB / 1024.0;
    state.SetBytesProcessed((int64_t)iterations * (int64_t)text.size());
}
} // namespace

BENCHMARK(BM_SignMsgPKCS7)->Arg(1)->Arg(64)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
