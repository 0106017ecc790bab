print(plugin.MimeType());
