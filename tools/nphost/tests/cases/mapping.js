// Script values as the plug-in receives them.
print(plugin.Describe());
print(plugin.Describe(1, -2147483648, 2147483647, 0));
print(plugin.Describe(1.5, 2147483648, -2147483649, -0, 1e300, NaN));
print(plugin.Describe(3 * 0.5 + 0.5, 6 / 3));
print(plugin.Describe("abc", "", "h\u00e9llo", "\ud83d\ude00", "\ud800"));
print(plugin.Describe(true, false, null, undefined));
print(plugin.Describe(plugin));
// Results as the script receives them.
var results = [plugin.ReturnVoid(), plugin.ReturnNull(), plugin.ReturnBool(), plugin.ReturnInt(),
               plugin.ReturnDouble(), plugin.ReturnString(), plugin.ReturnEmpty()];
for (var i = 0; i < results.length; ++i)
    print(typeof results[i], results[i] === null ? "null" : results[i]);
var s = plugin.ReturnString();
print(s.length, s.charCodeAt(1), s.charCodeAt(6), s.charCodeAt(7));
print(plugin.Sum(1, 2, 3), plugin.Sum(0.25, 0.5), plugin.Echo(-7), plugin.Echo("\ud83d\ude00") === "\ud83d\ude00");
// Objects, passed and returned.
var child = plugin.ReturnObject();
print(typeof child, child.Name(), child);
print(plugin.Describe(child), plugin.Echo(child).Name());
child = null;
// The default method, properties and the in operator.
print(plugin(), plugin(1, "two", null));
print(plugin.Count, plugin.NoSuchProperty);
plugin.Count = 5;
print(plugin.Count, "Count" in plugin, "Describe" in plugin, "Nothing" in plugin);
var m = plugin.Describe;
print(typeof m, m("detached"));
print(plugin.ReturnObject().Name(), plugin.ReturnObject().Name());
