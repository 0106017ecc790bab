// A key in a PROV_RSA_FULL provider cannot make SHA-256 hashes, as on Windows; SHA-1 works.
var text = "\u7B7E\u540D text";
print("select " + plugin.SelectCertificate("CN=Full Provider Signer", "", "", ""));
print("info CSPName " + plugin.GetSignCertInfo("CSPName"));
try {
    plugin.SignMsgPKCS7(text, "SHA-256", true);
    print("SHA-256 signed");
} catch (e) {
    print("SHA-256: " + JSON.stringify(plugin.GetLastErrorDesc()));
}
print("P7 attached SHA-1 " + plugin.SignMsgPKCS7(text, "SHA-1", true));
