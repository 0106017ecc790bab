plugin.Fail();
