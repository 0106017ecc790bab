// The enrollment object's methods that need no agent, and what it refuses.
function attempt(label, f) {
    try {
        print(label, JSON.stringify(f()));
    } catch (e) {
        print(label, e.name + ":", e.message);
    }
}
attempt("version", function () { return plugin.Brevan_GetVersion(); });
attempt("default method", function () { return plugin(); });
attempt("default method with arguments", function () { return plugin(1, "a", true); });
attempt("error text", function () { return plugin.GetLastErrorDesc(); });
attempt("version with argument", function () { return plugin.Brevan_GetVersion(1); });
attempt("error text after refusal", function () { return plugin.GetLastErrorDesc(); });
attempt("error text with argument", function () { return plugin.GetLastErrorDesc(""); });
attempt("error text unchanged", function () { return plugin.GetLastErrorDesc(); });
attempt("name case matters", function () { return plugin.brevan_GetVersion(); });
attempt("unknown method", function () { return plugin.Sign(); });
attempt("other plug-in's method", function () { return plugin.GetVersion(); });
attempt("property read", function () { return plugin.Version; });
attempt("property write", function () { plugin.Version = "1"; return "written"; });
print("done");
