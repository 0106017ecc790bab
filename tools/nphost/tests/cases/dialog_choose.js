print(plugin.Choose());
print("dialog " + plugin.DialogSize());
