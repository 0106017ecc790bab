// One signing certificate for a container, after the page's choices. A refused call throws.
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
attempt("sign", function () { return plugin.Brevan_ImportSignCert(@TYPE@, "@SIGNCERT@", "@CONTAINER@"); });
