// The delivered encryption pair on its own, after the page's choices. A refused call throws.
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
attempt("encrypt", function () { return plugin.Brevan_ImportEncryptCert("@DELIVERY@", "@ENCCERT@", "@CONTAINER@", 1); });
