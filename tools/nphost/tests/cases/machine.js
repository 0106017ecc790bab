print(plugin.MachineDirectory());
