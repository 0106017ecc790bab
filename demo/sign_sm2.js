// A page that signs with SM2: the certificate lives only on the USB token and is found
// through the list of providers to search.
var text = "\u7B7E\u540D: pay 100.00 to Quillmark";

var chosen = plugin.SelectCertificate("CN=Demo Token Signer", "", "", "@PROVIDER@");
print("certificate chosen: " + chosen);
if (!chosen) throw new Error(plugin.GetLastErrorDesc());
print("subject  " + plugin.GetSignCertInfo("SubjectDN"));
print("type     " + plugin.GetSignCertInfo("CertType"));
print("provider " + plugin.GetSignCertInfo("CSPName"));
print("P7 attached " + plugin.SignMsgPKCS7(text, "", true));
