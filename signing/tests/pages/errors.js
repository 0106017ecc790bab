// What a page sees when it calls the signing object wrongly or before choosing a certificate.
function attempt(label, f) {
    try {
        print(label + ": returned " + JSON.stringify(f()));
    } catch (e) {
        print(label + ": failed");
    }
    print("  " + JSON.stringify(plugin.GetLastErrorDesc()));
}

print(plugin.GetVersion());
print("new object: " + JSON.stringify(plugin.GetLastErrorDesc()));

attempt("SelectCertificate with 3 strings", function () { return plugin.SelectCertificate("", "", ""); });
attempt("SelectCertificate with a number", function () { return plugin.SelectCertificate("", "", 5, ""); });
attempt("GetSignCertInfo without argument", function () { return plugin.GetSignCertInfo(); });
attempt("SignMsgPKCS7 with a number flag", function () { return plugin.SignMsgPKCS7("abc", "SHA-256", 1); });
attempt("SignMsgPKCS7 with 2 arguments", function () { return plugin.SignMsgPKCS7("abc", "SHA-256"); });
attempt("SignHashMsgPKCS7Detached with 1 argument", function () { return plugin.SignHashMsgPKCS7Detached("AAAA"); });
attempt("SignHashMsgPKCS7Detached with a number", function () { return plugin.SignHashMsgPKCS7Detached("AAAA", 1); });

attempt("SelectCertificate on an empty store", function () { return plugin.SelectCertificate("", "", "", ""); });
attempt("GetSignCertInfo before a selection", function () { return plugin.GetSignCertInfo("SubjectCN"); });
attempt("SignMsgPKCS7 before a selection", function () { return plugin.SignMsgPKCS7("abc", "SHA-256", true); });
attempt("SignHashMsgPKCS7Detached before a selection",
        function () { return plugin.SignHashMsgPKCS7Detached("3q2+7w==", "SHA-1"); });

// GetVersion with an argument fails and leaves the last result as it was.
attempt("GetVersion with an argument", function () { return plugin.GetVersion(1); });
