// qmrc: compiles a resource script into a C++ source holding the module's resource
// directory.  qmrc [-I dir]... [-D NAME[=VALUE]]... -o out.cpp [--depfile out.d] script.rc
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "blob_writer.h"
#include "parser.h"

namespace
{
int Usage()
{
    std::cerr << "usage: qmrc [-I dir]... [-D NAME[=VALUE]]... -o out.cpp [--depfile out.d] script.rc\n";
    return 2;
}

std::string DepfileEscape(const std::string& path)
{
    std::string out;
    for (char c : path)
    {
        if (c == ' ' || c == '#')
            out += '\\';
        if (c == '$')
            out += '$';
        out += c;
    }
    return out;
}

// Written whole or not at all: a failed run leaves no half source behind.
bool WriteFile(const std::string& path, const std::string& content)
{
    std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out || !(out << content) || !out.flush())
            return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}
} // namespace

int main(int argc, char** argv)
{
    qm::rc::CompileOptions options;
    std::string output, depfile, script;
    for (int i = 1; i < argc; ++i)
    {
        std::string arg = argv[i];
        auto value = [&](size_t prefix) -> std::string {
            if (arg.size() > prefix)
                return arg.substr(prefix);
            return ++i < argc ? argv[i] : std::string();
        };
        if (arg.rfind("-I", 0) == 0)
            options.includeDirs.emplace_back(value(2));
        else if (arg.rfind("-D", 0) == 0)
        {
            std::string def = value(2);
            auto eq = def.find('=');
            options.defines[def.substr(0, eq)] = eq == std::string::npos ? "1" : def.substr(eq + 1);
        }
        else if (arg == "-o")
            output = value(2);
        else if (arg == "--depfile")
            depfile = ++i < argc ? argv[i] : "";
        else if (!arg.empty() && arg[0] == '-')
            return Usage();
        else if (script.empty())
            script = arg;
        else
            return Usage();
    }
    if (script.empty() || output.empty())
        return Usage();

    try
    {
        auto compiled = qm::rc::CompileFile(script, options);
        auto blob = qm::rc::BuildBlob(compiled.resources);
        if (!WriteFile(output, qm::rc::GenerateSource(blob, std::filesystem::path(script).filename().string())))
        {
            std::cerr << output << ": error: cannot write the output\n";
            return 1;
        }
        if (!depfile.empty())
        {
            std::string deps = DepfileEscape(std::filesystem::absolute(output).string()) + ":";
            for (const auto& dep : compiled.dependencies)
                deps += " \\\n  " + DepfileEscape(dep.string());
            deps += "\n";
            if (!WriteFile(depfile, deps))
            {
                std::cerr << depfile << ": error: cannot write the dependency file\n";
                return 1;
            }
        }
    }
    catch (const qm::rc::RcError& e)
    {
        std::cerr << e.what() << "\n";
        return 1;
    }
    catch (const std::exception& e)
    {
        std::cerr << script << ": error: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
