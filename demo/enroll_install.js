// Second enrollment page, after the authority issued the certificate: install it beside its
// key and list what the provider now holds.
print("provider set: " + plugin.Brevan_SetCSPInfo(2048, "@PROVIDER@"));
print("algorithm set: " + plugin.Brevan_SetKeyAlgorithm("RSA"));
print("certificate installed: " + plugin.Brevan_ImportSignCert(1, "@CERT@", "@CONTAINER@"));
print("result: " + plugin.GetLastErrorDesc().replace(/\r?\n/g, " "));
var records = plugin.Brevan_GetAllCertInfo("@PROVIDER@").split("||");
for (var i = 0; i < records.length; ++i)
    print("listed: " + records[i]);
