print(plugin.Choose());
print(plugin.Choose());
