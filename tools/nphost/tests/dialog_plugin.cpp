// A plug-in for nphost's dialog input: Choose() runs a modal dialog with a list of three
// rows and answers how it ended ("OK second", "Cancel"); DialogSize() is the size of the
// last dialog's window, frame included ("WxH").
#include <cstring>
#include <string>

#include "npfunctions.h"
#include "qm/module.h"
#include "windows.h"

namespace
{
NPNetscapeFuncs g_browser{};
std::string g_lastSize;

const char16_t* const kRows[] = {u"first", u"second", u"third"};

struct Outcome
{
    std::string row;
};

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        HWND list = GetDlgItem(dialog, 1001);
        for (const char16_t* row : kRows)
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        RECT rect{};
        GetWindowRect(dialog, &rect);
        g_lastSize = std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
        {
            auto* outcome = reinterpret_cast<Outcome*>(GetWindowLongPtrW(dialog, DWLP_USER));
            const LRESULT row = SendMessageW(GetDlgItem(dialog, 1001), LB_GETCURSEL, 0, 0);
            static const char* const names[] = {"first", "second", "third"};
            outcome->row = row >= 0 && row < 3 ? names[row] : "none";
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL)
        {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

std::string Choose()
{
    Outcome outcome;
    HMODULE module = qm::ModuleFromAddress(reinterpret_cast<const void*>(&DialogProc));
    const INT_PTR result = DialogBoxParamW(module, MAKEINTRESOURCEW(100), GetForegroundWindow(), DialogProc,
                                           reinterpret_cast<LPARAM>(&outcome));
    if (result == IDOK)
        return "OK " + outcome.row;
    return result == IDCANCEL ? "Cancel" : "failed " + std::to_string(result);
}

void SetString(NPVariant* result, const std::string& text)
{
    auto* copy = static_cast<char*>(g_browser.memalloc(uint32_t(text.size() + 1)));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    STRINGN_TO_NPVARIANT(copy, text.size(), *result);
}

std::string Name(NPIdentifier id)
{
    NPUTF8* text = g_browser.utf8fromidentifier(id);
    std::string name = text != nullptr ? text : "";
    g_browser.memfree(text);
    return name;
}

bool HasMethod(NPObject*, NPIdentifier id)
{
    const std::string name = Name(id);
    return name == "Choose" || name == "DialogSize";
}

bool Invoke(NPObject*, NPIdentifier id, const NPVariant*, uint32_t, NPVariant* result)
{
    const std::string name = Name(id);
    if (name == "Choose")
        SetString(result, Choose());
    else if (name == "DialogSize")
        SetString(result, g_lastSize);
    else
        return false;
    return true;
}

NPObject* Allocate(NPP, NPClass*) { return new NPObject; }
void Deallocate(NPObject* obj) { delete obj; }

NPClass g_class = {NP_CLASS_STRUCT_VERSION, Allocate, Deallocate, nullptr, HasMethod, Invoke, nullptr,
                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

NPError New(NPMIMEType, NPP instance, uint16_t, int16_t, char*[], char*[], NPSavedData*)
{
    instance->pdata = nullptr;
    return NPERR_NO_ERROR;
}

NPError Destroy(NPP instance, NPSavedData**)
{
    if (instance->pdata != nullptr)
        g_browser.releaseobject(static_cast<NPObject*>(instance->pdata));
    instance->pdata = nullptr;
    return NPERR_NO_ERROR;
}

NPError GetValue(NPP instance, NPPVariable variable, void* value)
{
    if (variable != NPPVpluginScriptableNPObject)
        return NPERR_GENERIC_ERROR;
    if (instance->pdata == nullptr)
        instance->pdata = g_browser.createobject(instance, &g_class);
    *static_cast<NPObject**>(value) = g_browser.retainobject(static_cast<NPObject*>(instance->pdata));
    return NPERR_NO_ERROR;
}
} // namespace

NP_EXPORT(NPError) NP_GetEntryPoints(NPPluginFuncs* funcs)
{
    funcs->version = 22;
    funcs->newp = New;
    funcs->destroy = Destroy;
    funcs->getvalue = GetValue;
    return NPERR_NO_ERROR;
}

NP_EXPORT(NPError) NP_Initialize(NPNetscapeFuncs* funcs)
{
    g_browser = *funcs;
    return NPERR_NO_ERROR;
}

NP_EXPORT(NPError) NP_Shutdown(void) { return NPERR_NO_ERROR; }

NP_EXPORT(const char*) NP_GetMIMEDescription(void)
{
    return "application/x-nphost-dialog:dlg:nphost dialog test plug-in";
}
