plugin.DoubleFree();
