// A certificate pair (type 3) over two containers, then, when there is one, the encryption
// pair for the second. A refused call throws.
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
attempt("first", function () { return plugin.Brevan_ImportSignCert(3, "@FIRSTCERT@", "@FIRST@"); });
attempt("second", function () { return plugin.Brevan_ImportSignCert(3, "@SECONDCERT@", "@SECOND@"); });
if ("@DELIVERY@" != "")
    attempt("encrypt", function () { return plugin.Brevan_ImportEncryptCert("@DELIVERY@", "@ENCCERT@", "@SECOND@", 1); });
