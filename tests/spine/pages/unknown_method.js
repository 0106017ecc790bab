// An unknown method, uncaught: the page fails.
plugin.SignMessage("data");
print("not reached");
