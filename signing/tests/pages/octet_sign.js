// The page chooses, in the selection dialog, a certificate whose name holds a value that is
// no string (the runner plays the user's keys), reads its names and signs with it.
var chosen = plugin.SelectCertificate("", "O=Quillmark Octet", "", "");
print("select " + chosen);
print("info SubjectDN " + plugin.GetSignCertInfo("SubjectDN"));
print("info IssuerDN " + plugin.GetSignCertInfo("IssuerDN"));
print("info SubjectCN " + plugin.GetSignCertInfo("SubjectCN"));
print("content " + plugin.GetSignCertInfo("CertContent"));
print("P7 attached SHA-256 " + plugin.SignMsgPKCS7("\u7B7E\u540D text", "SHA-256", true));
print("P7 detached SHA-1 " + plugin.SignMsgPKCS7("\u7B7E\u540D text", "SHA-1", false));
