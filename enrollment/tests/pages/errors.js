// What the enrollment object refuses, and the text the page then reads.
function attempt(label, f) {
    try {
        print(label, JSON.stringify(f()));
    } catch (e) {
        print(label, e.name + ":", e.message);
    }
    print("  text", JSON.stringify(plugin.GetLastErrorDesc()));
}
attempt("container before any request", function () { return plugin.Brevan_GetContainer(); });
attempt("base provider with 2048", function () {
    return plugin.Brevan_SetCSPInfo(2048, "Microsoft Base Cryptographic Provider v1.0");
});
attempt("version keeps the last result", function () { return plugin.Brevan_GetVersion(); });
attempt("2048.9 reaches the agent as 2048", function () {
    return plugin.Brevan_SetCSPInfo(2048.9, "Microsoft Enhanced Cryptographic Provider v1.0");
});
attempt("-3.7 on the base provider", function () {
    return plugin.Brevan_SetCSPInfo(-3.7, "Microsoft Base Cryptographic Provider v1.0");
});
attempt("key length as text", function () { return plugin.Brevan_SetCSPInfo("1024", "any"); });
attempt("container with an argument", function () { return plugin.Brevan_GetContainer(1); });
attempt("CSP list with an argument", function () { return plugin.Brevan_GetCSPInfo(1); });
attempt("spaces as algorithm", function () { return plugin.Brevan_SetKeyAlgorithm("   "); });
attempt("request without algorithm", function () {
    return plugin.Brevan_PKCS10CertRequisition("CN=x", 1, 0);
});
attempt("certificate type 4", function () { return plugin.Brevan_ImportSignCert(4, "AAAA", "c"); });
attempt("algorithm for the import", function () { return plugin.Brevan_SetKeyAlgorithm(" sm2 "); });
attempt("bad device type", function () {
    return plugin.Brevan_ImportEncryptCert("0000000000000009000000000000000100000000000003060000000000000000", "MAMCAQU=", "c", 0);
});
attempt("empty container name", function () { return plugin.Brevan_ImportEncryptCert("1", "2", "", 0); });
attempt("listing with no certificates", function () { return plugin.Brevan_GetAllCertInfo(""); });
attempt("name case matters", function () { return plugin.brevan_GetContainer(); });
print("done");
