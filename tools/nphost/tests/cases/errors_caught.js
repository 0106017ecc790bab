// Failures inside the plug-in reach the script as catchable errors.
function attempt(label, f) {
    try {
        f();
        print(label, "no error");
    } catch (e) {
        print(label, e.name + ":", e.message);
    }
}
attempt("missing method", function () { plugin.NoSuchMethod(); });
attempt("false from invoke", function () { plugin.Fail(); });
attempt("exception", function () { plugin.Throw(); });
attempt("set refused", function () { plugin.ReadOnly = 1; });
attempt("object argument", function () { plugin.Describe({}); });
attempt("wrong arguments", function () { plugin.Echo(); });
print("done");
