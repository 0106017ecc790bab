plugin.NoSuchMethod();
