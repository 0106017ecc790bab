// RSA signing as a page does it: choose the certificate by filters, read its facts, sign the
// text attached and detached with each hash name, and sign a digest. The runner fills in
// the digests and checks every message with openssl.
var text = "\u7B7E\u540D text";

print("select " + plugin.SelectCertificate("CN=Page Signer", "O=Quillmark Test", "00c35a", ""));
var types = ["SubjectDN", "subjectcn", "SERIALNUMBER", "CSPName", "certtype", "IssuerDN"];
for (var i = 0; i < types.length; i++) {
    print("info " + types[i] + " " + plugin.GetSignCertInfo(types[i]));
}
print("content " + plugin.GetSignCertInfo("CertContent"));

var hashes = ["SHA-1", "SHA-256", "MD-5"];
for (var h = 0; h < hashes.length; h++) {
    print("P7 attached " + hashes[h] + " " + plugin.SignMsgPKCS7(text, hashes[h], true));
    print("P7 detached " + hashes[h] + " " + plugin.SignMsgPKCS7(text, hashes[h], false));
}
print("P7 digest SHA-1 " + plugin.SignHashMsgPKCS7Detached("@SHA1@", "SHA-1"));
print("P7 digest SHA-256 " + plugin.SignHashMsgPKCS7Detached("@SHA256@", "sha-256"));

try {
    plugin.SignMsgPKCS7(text, "SHA256", true);
} catch (e) {
    print("SHA256: " + JSON.stringify(plugin.GetLastErrorDesc()));
}
