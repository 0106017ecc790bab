// Second page, after issuance: the signing certificate, then the delivered encryption pair,
// then the page lists what is installed.
print("csp " + plugin.Brevan_SetCSPInfo(@BITS@, "@PROVIDER@"));
print("alg " + plugin.Brevan_SetKeyAlgorithm("@ALGORITHM@"));
print("sign " + plugin.Brevan_ImportSignCert(2, "@SIGNCERT@", "@CONTAINER@"));
print("encrypt " + plugin.Brevan_ImportEncryptCert("@DELIVERY@", "@ENCCERT@", " @CONTAINER@ ", 1));
print("error " + JSON.stringify(plugin.GetLastErrorDesc()));
print("container " + plugin.Brevan_GetContainer());
var records = plugin.Brevan_GetAllCertInfo("@LIST@").split("||");
for (var i = 0; i < records.length; ++i)
    print("record " + records[i]);
