plugin.FreeUnknown();
