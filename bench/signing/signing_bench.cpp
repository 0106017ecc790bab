// The signing plug-in beside openssl, measured in the same run; the figures and their ratios
// are printed as a table at the end:
// - a 1 KiB SignMsgPKCS7 with RSA-2048 (AES provider, SHA-256, attached) against a raw
//   RSA-2048 PKCS#1 signature by libcrypto on the same key;
// - a 64 MiB attached SHA-256 SignMsgPKCS7, called directly and through a page in nphost,
//   against `openssl cms -sign -binary -nodetach -md sha256` on the same bytes and key (and
//   libcrypto's CMS API in this process), with peak memory.
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>

#include <npfunctions.h>
#include <qm/machine.h>

#include "FakeBrowser.h"

namespace
{
constexpr size_t c_cbLarge = size_t(64) << 20;

// Seconds per call and peak MiB, by figure name.
std::map<std::string, double> g_mapSeconds;
std::map<std::string, double> g_mapPeakMiB;

int Run(const std::string& command)
{
    int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A child's exit status, wall seconds and peak resident MiB; its standard output in *pOut.
struct CChildRun
{
    int nStatus = -1;
    double dSeconds = 0;
    double dPeakMiB = 0;
};

CChildRun Spawn(const std::vector<std::string>& args, std::string* pOut)
{
    int rgfd[2];
    CChildRun run;
    if (pipe(rgfd) != 0)
        return run;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0)
    {
        dup2(rgfd[1], 1);
        close(rgfd[0]);
        close(rgfd[1]);
        std::vector<char*> argv;
        for (const std::string& s : args)
            argv.push_back(const_cast<char*>(s.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(rgfd[1]);
    char rgb[4096];
    ssize_t cb;
    while ((cb = read(rgfd[0], rgb, sizeof(rgb))) > 0)
        if (pOut)
            pOut->append(rgb, size_t(cb));
    close(rgfd[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    run.nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.dSeconds = elapsed.count();
    run.dPeakMiB = usage.ru_maxrss / 1024.0;
    return run;
}

// The letters a to p over and over: the page builds the same text with one repeat().
std::string Text(size_t cb)
{
    std::string text(cb, 'a');
    for (size_t i = 0; i < cb; ++i)
        text[i] = (char)('a' + i % 16);
    return text;
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
        m_machine = (m_dir / "m").string();
        std::string q = std::string(QM_QMCTL) + " --machine '" + m_machine + "' ";
        m_key = (m_dir / "key.pem").string();
        m_cert = (m_dir / "cert.pem").string();
        if (Run(q + "init") != 0 ||
            Run("openssl req -x509 -newkey rsa:2048 -nodes -keyout '" + m_key + "' -sha256 -subj '/CN=Bench Signer' "
                "-days 30 -addext keyUsage=critical,digitalSignature -out '" + m_cert + "'") != 0 ||
            Run(q + "key import 'Microsoft Enhanced RSA and AES Cryptographic Provider' bench 2 '" + m_key + "' '" +
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

    const std::filesystem::path& Dir() const { return m_dir; }
    const std::string& Machine() const { return m_machine; }
    const std::string& KeyFile() const { return m_key; }
    const std::string& CertFile() const { return m_cert; }

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

    // The large text as a file, for openssl.
    std::string LargeFile()
    {
        std::string path = (m_dir / "content.txt").string();
        if (!std::filesystem::exists(path))
        {
            std::string text = Text(c_cbLarge);
            std::ofstream out(path, std::ios::binary);
            out.write(text.data(), (std::streamsize)text.size());
        }
        return path;
    }

private:
    std::filesystem::path m_dir;
    std::string m_machine;
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

template <class T, void (*FREE)(T*)> struct CFree
{
    void operator()(T* p) const { FREE(p); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, CFree<EVP_PKEY, EVP_PKEY_free>>;
using X509Ptr = std::unique_ptr<X509, CFree<X509, X509_free>>;

// A PEM file read with one of OpenSSL's PEM_read_* functions; empty when it cannot be read.
template <class Ptr, class T> Ptr ReadPem(const std::string& path, T* (*read)(FILE*, T**, pem_password_cb*, void*))
{
    FILE* pFile = std::fopen(path.c_str(), "r");
    T* p = pFile ? read(pFile, nullptr, nullptr, nullptr) : nullptr;
    if (pFile)
        std::fclose(pFile);
    return Ptr(p);
}

PkeyPtr LoadKey(const std::string& path) { return ReadPem<PkeyPtr>(path, PEM_read_PrivateKey); }
X509Ptr LoadCert(const std::string& path) { return ReadPem<X509Ptr>(path, PEM_read_X509); }

void Record(benchmark::State& state, const std::string& name, double seconds, long iterations)
{
    if (iterations > 0)
        g_mapSeconds[name] = seconds / double(iterations);
    state.counters["ms_per_call"] = iterations ? 1e3 * seconds / double(iterations) : 0;
}

// Times `call` once an iteration and records the mean call under `name`; false when a call
// failed (reported as `pszError`).
template <class Call> bool TimeCalls(benchmark::State& state, const std::string& name, const char* pszError, Call call)
{
    double seconds = 0;
    long iterations = 0;
    for (auto _ : state)
    {
        auto start = std::chrono::steady_clock::now();
        bool bOk = call();
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (!bOk)
        {
            state.SkipWithError(pszError);
            return false;
        }
        seconds += elapsed.count();
        ++iterations;
        state.SetIterationTime(elapsed.count());
    }
    Record(state, name, seconds, iterations);
    return true;
}

// Runs `run` once an iteration: a child whose seconds (pRun->dSeconds) and peak memory count,
// both recorded under `name`; false from `run` skips with its error.
template <class Run> void TimeChildren(benchmark::State& state, const std::string& name, Run run)
{
    double seconds = 0, peak = 0;
    long iterations = 0;
    for (auto _ : state)
    {
        CChildRun child;
        std::string error;
        if (!run(&child, &error))
        {
            state.SkipWithError(error.c_str());
            return;
        }
        seconds += child.dSeconds;
        peak = std::max(peak, child.dPeakMiB);
        ++iterations;
        state.SetIterationTime(child.dSeconds);
    }
    Record(state, name, seconds, iterations);
    g_mapPeakMiB[name] = peak;
    state.counters["peak_MiB"] = peak;
}

void BM_SignMsgPKCS7_1KiB(benchmark::State& state)
{
    CSigningSetup& setup = Setup();
    const std::string text = Text(1024);
    TimeCalls(state, "sign1k", "SignMsgPKCS7 failed", [&] { return setup.Sign(text) != 0; });
}

// What `openssl speed rsa2048` measures: one PKCS#1 v1.5 signature of a digest.
void BM_OpensslRsa2048Sign(benchmark::State& state)
{
    PkeyPtr pKey = LoadKey(Setup().KeyFile());
    EVP_PKEY_CTX* pCtx = pKey ? EVP_PKEY_CTX_new(pKey.get(), nullptr) : nullptr;
    if (!pCtx || EVP_PKEY_sign_init(pCtx) != 1 || EVP_PKEY_CTX_set_rsa_padding(pCtx, RSA_PKCS1_PADDING) != 1 ||
        EVP_PKEY_CTX_set_signature_md(pCtx, EVP_sha256()) != 1)
    {
        state.SkipWithError("key");
        EVP_PKEY_CTX_free(pCtx);
        return;
    }
    unsigned char rgbDigest[32], rgbSig[256];
    RAND_bytes(rgbDigest, sizeof(rgbDigest));
    TimeCalls(state, "rsa", "", [&] {
        size_t cb = sizeof(rgbSig);
        EVP_PKEY_sign(pCtx, rgbSig, &cb, rgbDigest, sizeof(rgbDigest));
        return true;
    });
    EVP_PKEY_CTX_free(pCtx);
}

void BM_SignMsgPKCS7_64MiB_Direct(benchmark::State& state)
{
    CSigningSetup& setup = Setup();
    const std::string text = Text(c_cbLarge);
    if (!TimeCalls(state, "direct", "SignMsgPKCS7 failed", [&] { return setup.Sign(text) != 0; }))
        return;
    // The text the browser holds is counted too, as openssl's input file is in its own peak.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    g_mapPeakMiB["direct"] = usage.ru_maxrss / 1024.0;
    state.counters["peak_MiB"] = usage.ru_maxrss / 1024.0;
}

// The page builds the text, signs it once and prints the call's milliseconds.
void BM_SignMsgPKCS7_64MiB_Page(benchmark::State& state)
{
    CSigningSetup& setup = Setup();
    std::string script = (setup.Dir() / "sign64.js").string();
    {
        std::ofstream out(script);
        out << "var text = 'abcdefghijklmnop'.repeat(" << c_cbLarge / 16
            << ");\n"
               "print('select ' + plugin.SelectCertificate('Bench Signer', '', '', ''));\n"
               "var t0 = Date.now();\n"
               "var p7 = plugin.SignMsgPKCS7(text, 'SHA-256', true);\n"
               "var t1 = Date.now();\n"
               "print('length ' + (p7 ? p7.length : 0));\n"
               "print('ms ' + (t1 - t0));\n";
    }
    TimeChildren(state, "page", [&](CChildRun* pRun, std::string* pError) {
        std::string out;
        *pRun = Spawn({QM_NPHOST, "--machine", setup.Machine(), QM_SIGNING_PLUGIN, script}, &out);
        size_t at = out.find("ms ");
        if (pRun->nStatus != 0 || at == std::string::npos || out.find("length 0") != std::string::npos)
        {
            *pError = "nphost: " + out;
            return false;
        }
        pRun->dSeconds = std::atof(out.c_str() + at + 3) / 1e3; // the call, as the page timed it
        return true;
    });
}

void BM_OpensslCms_64MiB_Command(benchmark::State& state)
{
    CSigningSetup& setup = Setup();
    std::string in = setup.LargeFile();
    TimeChildren(state, "cms", [&](CChildRun* pRun, std::string* pError) {
        *pRun = Spawn({"openssl", "cms", "-sign", "-binary", "-nodetach", "-md", "sha256", "-in", in, "-signer",
                       setup.CertFile(), "-inkey", setup.KeyFile(), "-outform", "DER", "-out", "/dev/null"},
                      nullptr);
        *pError = "openssl cms";
        return pRun->nStatus == 0;
    });
}

// The same message through libcrypto's CMS API in this process, text already in memory.
void BM_OpensslCms_64MiB_Api(benchmark::State& state)
{
    CSigningSetup& setup = Setup();
    PkeyPtr pKey = LoadKey(setup.KeyFile());
    X509Ptr pCert = LoadCert(setup.CertFile());
    const std::string text = Text(c_cbLarge);
    TimeCalls(state, "cmsapi", "CMS_sign", [&] {
        BIO* pIn = BIO_new_mem_buf(text.data(), int(text.size()));
        CMS_ContentInfo* pCms = CMS_sign(nullptr, nullptr, nullptr, nullptr, CMS_BINARY | CMS_PARTIAL);
        bool bOk = pCms && CMS_add1_signer(pCms, pCert.get(), pKey.get(), EVP_sha256(), CMS_BINARY) &&
                   CMS_final(pCms, pIn, nullptr, CMS_BINARY);
        BIO* pOut = BIO_new(BIO_s_mem());
        bOk = bOk && i2d_CMS_bio(pOut, pCms) == 1;
        BIO_free(pOut);
        CMS_ContentInfo_free(pCms);
        BIO_free(pIn);
        return bOk;
    });
}

void PrintRow(const char* pszFigure, const char* pszOurs, const char* pszTheirs)
{
    double dOurs = g_mapSeconds[pszOurs], dTheirs = g_mapSeconds[pszTheirs];
    double dRatio = dTheirs > 0 ? dOurs / dTheirs : 0;
    std::printf("%-36s %10.3f ms %10.3f ms %7.2f\n", pszFigure, 1e3 * dOurs, 1e3 * dTheirs, dRatio);
}

void PrintPeakRow(const char* pszFigure, const char* pszOurs)
{
    double dOurs = g_mapPeakMiB[pszOurs], dTheirs = g_mapPeakMiB["cms"];
    double dRatio = dTheirs > 0 ? dOurs / dTheirs : 0;
    std::printf("%-36s %9.0f MiB %9.0f MiB %7.2f\n", pszFigure, dOurs, dTheirs, dRatio);
}
} // namespace

BENCHMARK(BM_SignMsgPKCS7_1KiB)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpensslRsa2048Sign)->UseManualTime()->Unit(benchmark::kMillisecond);
// The direct call first: this process's peak is then the plug-in's.
BENCHMARK(BM_SignMsgPKCS7_64MiB_Direct)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SignMsgPKCS7_64MiB_Page)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpensslCms_64MiB_Command)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpensslCms_64MiB_Api)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\n%-36s %13s %13s %7s\n", "figure", "ours", "openssl", "ratio");
    PrintRow("RSA-2048 SignMsgPKCS7 1 KiB", "sign1k", "rsa");
    PrintRow("64 MiB attached, direct", "direct", "cms");
    PrintRow("64 MiB attached, through a page", "page", "cms");
    PrintRow("64 MiB attached, direct (CMS API)", "direct", "cmsapi");
    PrintPeakRow("64 MiB peak memory, direct", "direct");
    PrintPeakRow("64 MiB peak memory, through a page", "page");
    benchmark::Shutdown();
    return 0;
}
