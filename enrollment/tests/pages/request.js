// First page of a double-certificate enrollment: the page's choices, then the request.
print("csp " + plugin.Brevan_SetCSPInfo(@BITS@, "@PROVIDER@"));
print("alg " + plugin.Brevan_SetKeyAlgorithm("@ALGORITHM@"));
var request = plugin.Brevan_PKCS10CertRequisition("CN=Page User,O=Quillmark Test,C=CN", 2, 0);
print("error " + JSON.stringify(plugin.GetLastErrorDesc()));
print("container " + plugin.Brevan_GetContainer());
print("request " + request.replace(/\r\n/g, "|"));
