// A selection in the dialog, then a second one the user abandons (the runner plays Escape,
// the close box or Cancel into it): the page sees the cancel, and the first choice is gone.
function attempt(label, f) {
    try {
        print(label + ": returned " + JSON.stringify(f()));
    } catch (e) {
        print(label + ": failed");
    }
    print("  " + JSON.stringify(plugin.GetLastErrorDesc()));
}

attempt("first selection", function () { return plugin.SelectCertificate("", "O=Quillmark Dialog", "", ""); });
attempt("SubjectCN", function () { return plugin.GetSignCertInfo("SubjectCN"); });
attempt("abandoned selection", function () { return plugin.SelectCertificate("", "O=Quillmark Dialog", "", ""); });
attempt("SubjectCN after it", function () { return plugin.GetSignCertInfo("SubjectCN"); });
