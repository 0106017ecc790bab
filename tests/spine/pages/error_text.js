// The text of a new object's last result, in the machine's UI language.
print(JSON.stringify(plugin.GetLastErrorDesc()));
