var o = plugin.LeakObject(); print(o.Name());
