// The page chooses among several certificates in the selection dialog (the runner plays the
// user's keys into it) and signs with the one chosen.
var chosen;
try {
    chosen = plugin.SelectCertificate("", "O=Quillmark Dialog", "", "");
} catch (e) {
    chosen = "failed";
}
print("select " + chosen);
print("desc " + JSON.stringify(plugin.GetLastErrorDesc()));
if (chosen === true) {
    print("info SubjectCN " + plugin.GetSignCertInfo("SubjectCN"));
    print("info SerialNumber " + plugin.GetSignCertInfo("SerialNumber"));
    print("P7 " + plugin.SignMsgPKCS7("dialog choice", "SHA-256", true));
}
