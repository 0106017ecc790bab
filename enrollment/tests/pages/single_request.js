// A single-certificate request for the subject the test fills in.
print("csp " + plugin.Brevan_SetCSPInfo(@BITS@, "@PROVIDER@"));
print("alg " + plugin.Brevan_SetKeyAlgorithm("RSA"));
var request = plugin.Brevan_PKCS10CertRequisition("@SUBJECT@", 1, 0);
print("error " + JSON.stringify(plugin.GetLastErrorDesc()));
print("request " + request.replace(/\r\n/g, "|"));
