plugin.LeakMemory();
