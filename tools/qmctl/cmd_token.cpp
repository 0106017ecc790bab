// qmctl token: a token for the machine (SoftHSM2 storage in the machine) and its provider
// registered as the vendor's CSP is.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <set>

#include "command.h"
#include "qm/csp_registration.h"
#include "qm/machine.h"
#include "../../platform/tokendevice/removed_tokens.h"
#include "reg_text.h"
#include "reg_walk.h"
#include "system_links.h"

extern char** environ;

namespace qmctl
{
namespace
{
const char16_t kConfigKey[] = u"SOFTWARE\\Quillmark\\TokenCSP";

std::string Option(const Args& args, const std::string& name, const std::string& fallback)
{
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == name)
            return args[i + 1];
    return fallback;
}

int RunTool(std::vector<std::string> args, const std::string& conf)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"SOFTHSM2_CONF=" + conf};
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("SOFTHSM2_CONF=", 0) != 0)
            env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

LSTATUS SetString(HKEY key, const char16_t* name, const std::string& value)
{
    std::u16string wide = Utf16(value);
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                          DWORD((wide.size() + 1) * 2));
}

int Create(const Args& args)
{
    if (args.empty() || args[0].rfind("--", 0) == 0)
        return Fail("usage: qmctl token create PROVIDER [--label L] [--pin P] [--so-pin S] "
                    "[--library FILE.dll] [--module SO]",
                    kUsage);
    std::string provider = args[0];
    std::string label = Option(args, "--label", "QMTOKEN");
    std::string pin = Option(args, "--pin", "123456");
    std::string soPin = Option(args, "--so-pin", "12345678");
    std::string library = Option(args, "--library", "PellixCSP11_5150.dll");
    // The device over SoftHSM2's storage: one slot for each token in its reader.
    std::string module = Option(args, "--module", BuiltLibrary("pkcs11device.so").string());

    auto machine = qm::MachineDirectory();
    auto conf = machine / "softhsm2.conf";
    std::error_code ec;
    std::filesystem::create_directories(machine / "tokens", ec);
    if (!std::filesystem::exists(conf, ec))
        std::ofstream(conf) << "directories.tokendir = " << (machine / "tokens").string()
                            << "\nobjectstore.backend = file\nlog.level = ERROR\n";
    if (RunTool({"softhsm2-util", "--init-token", "--free", "--label", label, "--so-pin", soPin,
                 "--pin", pin},
                conf.string()) != 0)
        return Fail("softhsm2-util could not make the token " + label);
    if (auto e = LinkSystemLibrary(library, module); !e.empty())
        return Fail(e);
    if (auto e = LinkSystemLibrary("tokencsp.dll", BuiltLibrary("tokencsp.so")); !e.empty())
        return Fail(e);
    if (LONG st = qm::RegisterCryptProvider(Utf16(provider), u"tokencsp.dll", 1);
        st != ERROR_SUCCESS)
        return Fail("provider " + provider + ": " + StatusText(st));
    HKEY key = nullptr;
    std::u16string path = std::u16string(kConfigKey) + u"\\" + Utf16(provider);
    LSTATUS st = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                 nullptr, &key, nullptr);
    if (st == ERROR_SUCCESS)
    {
        st = SetString(key, u"PKCS11Library", library);
        if (st == ERROR_SUCCESS)
            st = SetString(key, u"TokenLabel", label);
        if (st == ERROR_SUCCESS)
            st = SetString(key, u"PIN", pin);
        RegCloseKey(key);
    }
    if (st != ERROR_SUCCESS)
        return Fail("token configuration: " + StatusText(st));
    std::printf("%s\n", provider.c_str());
    return kOk;
}

int List()
{
    LSTATUS st = PrintSubKeyNames(HKEY_LOCAL_MACHINE, kConfigKey);
    return st == ERROR_SUCCESS ? kOk : Fail("token configuration: " + StatusText(st));
}

// The labels of the machine's tokens, from their providers' configuration.
LSTATUS TokenLabels(std::set<std::string>& labels)
{
    labels.clear();
    HKEY key = nullptr;
    if (LSTATUS st = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kConfigKey, 0, KEY_READ, &key); st != ERROR_SUCCESS)
        return st == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : st;
    std::vector<std::u16string> names;
    if (LSTATUS st = ReadSubKeys(key, names); st != ERROR_SUCCESS)
    {
        RegCloseKey(key);
        return st;
    }
    for (const auto& name : names)
    {
        char16_t label[260] = {};
        DWORD size = sizeof label - sizeof(char16_t);
        if (RegGetValueW(key, name.c_str(), u"TokenLabel", RRF_RT_REG_SZ, nullptr, label, &size) == ERROR_SUCCESS)
            labels.insert(Utf8(label));
    }
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

// Takes a token out of its reader (pull) or puts it back (insert).
int Move(const Args& args, bool pull)
{
    if (args.size() > 1)
        return Fail("usage: qmctl token pull|insert [LABEL]", kUsage);
    std::string label = args.empty() ? "QMTOKEN" : args[0];
    std::set<std::string> labels;
    if (LSTATUS st = TokenLabels(labels); st != ERROR_SUCCESS)
        return Fail("token configuration: " + StatusText(st));
    if (!labels.count(label))
        return Fail("no token " + label + " on this machine");
    std::set<std::string> removed = qm::tokendevice::RemovedTokenLabels();
    if (pull)
        removed.insert(label);
    else
        removed.erase(label);
    if (std::string e = qm::tokendevice::WriteRemovedTokenLabels(removed); !e.empty())
        return Fail(e);
    return kOk;
}

int Run(const Args& args)
{
    if (!args.empty() && args[0] == "create")
        return Create(Args(args.begin() + 1, args.end()));
    if (args.size() == 1 && args[0] == "list")
        return List();
    if (!args.empty() && (args[0] == "pull" || args[0] == "insert"))
        return Move(Args(args.begin() + 1, args.end()), args[0] == "pull");
    return Fail("usage: qmctl token create PROVIDER ... | list | pull [LABEL] | insert [LABEL]", kUsage);
}

const CommandRegistration kToken({
    "token",
    "qmctl token create PROVIDER [--label L] [--pin P] [--so-pin S] [--library FILE.dll] [--module "
    "SO]\n"
    "qmctl token list\n"
    "qmctl token pull|insert [LABEL]\n",
    "  create: makes a SoftHSM2 token (label QMTOKEN, PIN 123456 unless given) whose storage\n"
    "  lies in the machine, links the vendor's PKCS#11 library name (PellixCSP11_5150.dll)\n"
    "  and tokencsp.dll in the machine's System32, and registers PROVIDER under the provider\n"
    "  key (image tokencsp.dll, type 1) with its token configuration.\n"
    "  The vendor's library is the token device over SoftHSM2 (pkcs11device.so): one slot\n"
    "  for each token, without SoftHSM2's free slot.\n"
    "  list: the token providers of the machine.\n"
    "  pull: takes the token LABEL (QMTOKEN unless given) out of its reader: its slot has\n"
    "  no token present until insert puts it back.\n",
    Run,
});
} // namespace
} // namespace qmctl
