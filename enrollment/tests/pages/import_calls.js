// The page's choices, then the import calls the test writes in. A refused call throws; each
// call's label is printed with its result and the text the page then reads.
function attempt(label, f) {
    try {
        print(label + " " + f());
    } catch (e) {
        print(label + " threw");
    }
    print(label + "-error " + JSON.stringify(plugin.GetLastErrorDesc()));
}
attempt("csp", function () { return plugin.Brevan_SetCSPInfo(@BITS@, "@PROVIDER@"); });
attempt("alg", function () { return plugin.Brevan_SetKeyAlgorithm("@ALGORITHM@"); });
@CALLS@
