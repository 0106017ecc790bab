plugin.LeakIdentifierText();
