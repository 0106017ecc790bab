// One call that succeeds and one whose argument check fails.
plugin.GetLastErrorDesc();
try {
    plugin.GetLastErrorDesc(1);
} catch (e) {
    print("refused");
}
