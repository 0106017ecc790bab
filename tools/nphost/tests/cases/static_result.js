print(plugin.ReturnStaticText());
