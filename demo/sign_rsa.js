// A page that signs with an RSA certificate: it picks the certificate by subject, shows
// what the plug-in tells about it, and asks for attached and detached PKCS#7 messages.
var text = "\u7B7E\u540D: pay 100.00 to Quillmark";

print("plug-in version " + plugin.GetVersion());
var chosen = plugin.SelectCertificate("CN=Demo Signer", "", "", "");
print("certificate chosen: " + chosen);
if (!chosen) throw new Error(plugin.GetLastErrorDesc());
print("subject  " + plugin.GetSignCertInfo("SubjectDN"));
print("issuer   " + plugin.GetSignCertInfo("IssuerDN"));
print("serial   " + plugin.GetSignCertInfo("SerialNumber"));
print("provider " + plugin.GetSignCertInfo("CSPName"));
print("P7 attached " + plugin.SignMsgPKCS7(text, "SHA-256", true));
print("P7 detached " + plugin.SignMsgPKCS7(text, "SHA-1", false));
// A failed call is a script error; the page asks the plug-in why.
try {
    plugin.SignMsgPKCS7(text, "SHA-999", true);
} catch (e) {
    print("unknown hash name refused: " + plugin.GetLastErrorDesc().replace("\n", " "));
}
