// First enrollment page: choose the provider and the algorithm, and get a PKCS#10 request
// for a new signing key pair made inside the provider.
print("provider set: " + plugin.Brevan_SetCSPInfo(2048, "@PROVIDER@"));
print("algorithm set: " + plugin.Brevan_SetKeyAlgorithm("RSA"));
var request = plugin.Brevan_PKCS10CertRequisition("CN=Demo Applicant,O=Quillmark Demo,C=CN", 1, 0);
print("result: " + plugin.GetLastErrorDesc().replace(/\r?\n/g, " "));
print("container " + plugin.Brevan_GetContainer());
print("-----BEGIN CERTIFICATE REQUEST-----");
print(request.replace(/\r\n$/, "").replace(/\r\n/g, "\n"));
print("-----END CERTIFICATE REQUEST-----");
