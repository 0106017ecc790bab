// SM2 signing as a page does it: the certificate lives only in a token container and is
// found through the CSP list; the hash name is not looked at. The runner fills in the
// certificate's common name and the digest.
var text = "\u7B7E\u540D text";

print("select " + plugin.SelectCertificate("CN=@CN@", "", "", "Microsoft Base Cryptographic Provider v1.0||@PROVIDER@"));
print("info CSPName " + plugin.GetSignCertInfo("cspname"));
print("info CertType " + plugin.GetSignCertInfo("CertType"));
print("info SubjectCN " + plugin.GetSignCertInfo("SubjectCN"));
print("info SerialNumber " + plugin.GetSignCertInfo("SerialNumber"));

print("P7 attached " + plugin.SignMsgPKCS7(text, "MD-5", true));
print("P7 detached " + plugin.SignMsgPKCS7(text, "", false));
print("P7 digest " + plugin.SignHashMsgPKCS7Detached("@SM3@", "anything"));
