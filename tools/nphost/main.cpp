// nphost: plays the browser for a plug-in library and runs page script against it.
//   nphost [--machine DIR] [--mime TYPE] [--dialog-input STEPS]... [--dialog-png FILE]...
//          PLUGIN.so SCRIPT.js
//   nphost [--machine DIR] --install PLUGIN.so
//   nphost --help
// Exit status: 0 the script ran to its end (or NP_Install returned), 1 an uncaught script
// error or a fault or leak in the plug-in's use of the browser, 2 the plug-in could not be
// loaded, initialised or instantiated (or bad usage).
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "browser_table.h"
#include "diagnostics.h"
#include "dialog_player.h"
#include "dialog_script.h"
#include "host_memory.h"
#include "npfunctions.h"
#include "object_registry.h"
#include "platform_calls.h"
#include "plugin_library.h"
#include "qm/machine.h"
#include "script_engine.h"

namespace nphost
{
namespace
{
constexpr int kExitOk = 0;
constexpr int kExitScriptError = 1;
constexpr int kExitLoadFailure = 2;

struct Options
{
    std::optional<std::string> machine;
    std::optional<std::string> mime;
    bool install = false;
    bool help = false;
    std::vector<DialogScript> dialogInput;
    std::vector<std::string> dialogPictures;
    std::string plugin;
    std::string script;
};

void Usage()
{
    std::fprintf(stderr, "usage: nphost [--machine DIR] [--mime TYPE] [--dialog-input STEPS]...\n"
                         "              [--dialog-png FILE]... PLUGIN.so SCRIPT.js\n"
                         "       nphost [--machine DIR] --install PLUGIN.so\n"
                         "       nphost --help\n");
}

void Help()
{
    std::printf(
        "usage: nphost [--machine DIR] [--mime TYPE] [--dialog-input STEPS]...\n"
        "              [--dialog-png FILE]... PLUGIN.so SCRIPT.js\n"
        "       nphost [--machine DIR] --install PLUGIN.so\n"
        "\n"
        "Plays the browser for PLUGIN.so: creates one instance and runs SCRIPT.js with the\n"
        "instance's scriptable object as the global `plugin` (print() writes a line).\n"
        "\n"
        "  --machine DIR        the machine directory the plug-in sees ($QM_MACHINE otherwise)\n"
        "  --mime TYPE          the instance's MIME type when the version resource names none\n"
        "  --install            call NP_Install as an elevated installer does, run no script\n"
        "  --dialog-input STEPS input for a modal dialog the plug-in opens; given again, for\n"
        "                       the next dialog (the n-th dialog opened gets the n-th STEPS)\n"
        "  --dialog-png FILE    render the n-th dialog into FILE when it first waits for input\n"
        "\n"
        "STEPS are separated by commas; each is played when the dialog has handled the one\n"
        "before and waits for input:\n"
        "  key:NAME             press a key; keys go to the control with the focus\n"
        "  NAME                 the same as key:NAME\n"
        "  click:CONTROL        left click on a control of the dialog\n"
        "  dblclick:CONTROL     double-click on a control\n"
        "  move:CONTROL         move the mouse over a control\n"
        "  close                click the dialog's close box\n"
        "  png:FILE             render the dialog into FILE\n"
        "NAME: %s, or 0xNN.\n"
        "CONTROL: the control's text (without '&'), or #ID; a point in its client area may\n"
        "follow as @X:Y (its centre otherwise). Example: --dialog-input tab,tab,down,key:Return\n"
        "\n"
        "Without a display every modal dialog must be answered by a script: a dialog left\n"
        "without input, or still open when its steps are done, is ended with IDCANCEL and\n"
        "the run fails.\n"
        "\n"
        "Exit status: 0 the script ran to its end (or NP_Install returned), 1 an uncaught\n"
        "script error or a fault or leak in the plug-in's use of the browser, 2 the plug-in\n"
        "could not be loaded, initialised or instantiated, or bad usage.\n",
        DialogKeyNames().c_str());
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i)
    {
        const std::string_view arg = argv[i];
        if ((arg == "--machine" || arg == "--mime") && i + 1 < argc)
            (arg == "--machine" ? options.machine : options.mime) = argv[++i];
        else if (arg == "--dialog-input" && i + 1 < argc)
        {
            std::string error;
            auto script = ParseDialogScript(argv[++i], error);
            if (!script)
            {
                Note(error);
                return false;
            }
            options.dialogInput.push_back(std::move(*script));
        }
        else if (arg == "--dialog-png" && i + 1 < argc)
            options.dialogPictures.emplace_back(argv[++i]);
        else if (arg == "--help" || arg == "-h")
            options.help = true;
        else if (arg == "--install")
            options.install = true;
        else if (arg.starts_with("--"))
            return false;
        else
            positional.emplace_back(arg);
    }
    if (options.help)
        return true;
    if (positional.size() != (options.install ? 1u : 2u))
        return false;
    options.plugin = positional[0];
    if (!options.install)
        options.script = positional[1];
    return true;
}

// NP_Install as an installer calls it: elevated, with COM initialised on the thread.
int RunInstall(const Options& options)
{
    PluginLibrary library;
    if (!library.Load(options.plugin))
    {
        Note("cannot load " + options.plugin + ": " + library.Error());
        return kExitLoadFailure;
    }
    using InstallProc = void (*)(void);
    auto install = reinterpret_cast<InstallProc>(library.Export("NP_Install"));
    if (install == nullptr)
    {
        Note(options.plugin + " does not export NP_Install");
        return kExitLoadFailure;
    }
    qm::SetProcessElevated(true);
    const int32_t hr = InitializeCom();
    if (hr < 0)
    {
        Note("CoInitializeEx failed: " + Hex32(uint32_t(hr)));
        return kExitLoadFailure;
    }
    install();
    UninitializeCom();
    std::printf("NP_Install returned\n");
    return ProblemCount() == 0 ? kExitOk : kExitScriptError;
}

std::optional<std::string> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Everything a run has set up, undone in reverse order whatever happened.
class Session
{
public:
    explicit Session(const Options& options) : m_options(options) {}
    ~Session() { TearDown(); }

    int Run()
    {
        const int status = Start();
        if (status != kExitOk)
        {
            TearDown();
            return status;
        }
        bool ranToEnd = false;
        // Dialogs may open from the script's calls and from the instance's destruction.
        for (const DialogScript& script : m_options.dialogInput)
            m_dialogs.AddScript(script);
        for (const std::string& file : m_options.dialogPictures)
            m_dialogs.AddPicture(file);
        m_dialogs.Install();
        {
            ScriptEngine engine(&m_instance);
            engine.SetPlugin(m_scriptable);
            m_scriptable = nullptr; // the engine holds that reference now
            ranToEnd = engine.Run(m_source, m_options.script);
        }
        TearDown();
        m_dialogs.Uninstall();
        Memory().ReportLeaks();
        Objects().ReportLeaks();
        Memory().FreeAll();
        return ranToEnd && ProblemCount() == 0 ? kExitOk : kExitScriptError;
    }

private:
    int Fail(const std::string& message)
    {
        Note(message);
        return kExitLoadFailure;
    }

    int Start()
    {
        auto source = ReadFile(m_options.script);
        if (!source)
            return Fail("cannot read " + m_options.script);
        m_source = std::move(*source);

        if (!m_library.Load(m_options.plugin))
            return Fail("cannot load " + m_options.plugin + ": " + m_library.Error());
        auto getEntryPoints =
            reinterpret_cast<NP_GetEntryPointsFunc>(m_library.Export("NP_GetEntryPoints"));
        auto initialize = reinterpret_cast<NP_InitializeFunc>(m_library.Export("NP_Initialize"));
        m_shutdown = reinterpret_cast<NP_ShutdownFunc>(m_library.Export("NP_Shutdown"));
        for (auto [proc, name] : {std::pair{(void*)getEntryPoints, "NP_GetEntryPoints"},
                                  std::pair{(void*)initialize, "NP_Initialize"},
                                  std::pair{(void*)m_shutdown, "NP_Shutdown"}})
            if (proc == nullptr)
                return Fail(m_options.plugin + " does not export " + name);

        m_funcs = NPPluginFuncs{};
        m_funcs.size = sizeof(NPPluginFuncs);
        if (NPError error = getEntryPoints(&m_funcs); error != NPERR_NO_ERROR)
            return Fail("NP_GetEntryPoints failed: NPError " + std::to_string(error));
        if (NPError error = initialize(&BrowserFuncs()); error != NPERR_NO_ERROR)
            return Fail("NP_Initialize failed: NPError " + std::to_string(error));
        m_initialized = true;
        if (m_funcs.newp == nullptr || m_funcs.destroy == nullptr || m_funcs.getvalue == nullptr)
            return Fail("NP_GetEntryPoints left NPP_New, NPP_Destroy or NPP_GetValue empty");

        std::string mime = MimeType();
        if (mime.empty())
            return Fail(m_options.plugin + " names no MIME type; give one with --mime");
        char typeName[] = "type";
        char* argn[] = {typeName};
        char* argv[] = {mime.data()};
        if (NPError error =
                m_funcs.newp(mime.data(), &m_instance, NP_EMBED, 1, argn, argv, nullptr);
            error != NPERR_NO_ERROR)
            return Fail("NPP_New failed: NPError " + std::to_string(error));
        m_created = true;

        NPObject* scriptable = nullptr;
        NPError error = m_funcs.getvalue(&m_instance, NPPVpluginScriptableNPObject, &scriptable);
        if (error != NPERR_NO_ERROR || scriptable == nullptr)
            return Fail("NPP_GetValue(NPPVpluginScriptableNPObject) failed: NPError " +
                        std::to_string(error));
        if (!Objects().IsLive(scriptable))
        {
            Fault("the scriptable object " + Hex(scriptable) +
                  " was not made with NPN_CreateObject");
            return kExitScriptError;
        }
        m_scriptable = scriptable;
        return kExitOk;
    }

    // The version resource, as a Windows browser reads it; else --mime; else the
    // library's NP_GetMIMEDescription.
    std::string MimeType()
    {
        if (auto type = VersionResourceMimeType(m_options.plugin))
            return *type;
        if (m_options.mime)
            return *m_options.mime;
        auto describe =
            reinterpret_cast<NP_GetMIMEDescriptionFunc>(m_library.Export("NP_GetMIMEDescription"));
        const char* description = describe != nullptr ? describe() : nullptr;
        return description != nullptr ? FirstMimeType(description) : std::string();
    }

    void TearDown()
    {
        if (m_scriptable != nullptr)
            Objects().Release(m_scriptable);
        m_scriptable = nullptr;
        if (m_created)
        {
            NPSavedData* saved = nullptr;
            m_funcs.destroy(&m_instance, &saved);
            if (saved != nullptr)
            {
                Memory().Free(saved->buf, "NPP_Destroy (saved data)");
                Memory().Free(saved, "NPP_Destroy (saved data)");
            }
            m_created = false;
        }
        if (m_initialized)
            m_shutdown();
        m_initialized = false;
    }

    const Options& m_options;
    std::string m_source;
    PluginLibrary m_library;
    NPPluginFuncs m_funcs{};
    NP_ShutdownFunc m_shutdown = nullptr;
    bool m_initialized = false;
    bool m_created = false;
    NPP_t m_instance{};
    NPObject* m_scriptable = nullptr;
    DialogPlayer m_dialogs;
};
} // namespace
} // namespace nphost

int main(int argc, char** argv)
{
    using namespace nphost;
    Options options;
    if (!ParseOptions(argc, argv, options))
    {
        Usage();
        return kExitLoadFailure;
    }
    if (options.help)
    {
        Help();
        return kExitOk;
    }
    if (options.machine)
        qm::SetMachineDirectory(*options.machine);
    if (options.install)
        return RunInstall(options);
    Session session(options);
    return session.Run();
}
