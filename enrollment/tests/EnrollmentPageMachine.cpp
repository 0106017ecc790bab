#include "EnrollmentPageMachine.h"

#include <fstream>
#include <sstream>

namespace
{
const std::string kPages = QM_ENROLLMENT_PAGES;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Replaced(std::string text, const PageValues& values)
{
    for (const auto& [key, value] : values)
        for (size_t at; (at = text.find(key)) != std::string::npos;)
            text.replace(at, key.size(), value);
    return text;
}

std::string Line(const std::string& output, const std::string& key)
{
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + " ", 0) == 0)
            return line.substr(key.size() + 1);
    ADD_FAILURE() << "no line " << key << " in\n" << output;
    return {};
}

std::vector<std::string> Lines(const std::string& output, const std::string& key)
{
    std::vector<std::string> found;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + " ", 0) == 0)
            found.push_back(line.substr(key.size() + 1));
    return found;
}

std::string EnrollmentPageMachine::RunPage(const std::string& page, const PageValues& values,
                                           int expectedStatus)
{
    std::string script = (m_dir / page).string();
    std::ofstream(script) << Replaced(ReadText(kPages + "/" + page), values);
    std::string output;
    int status = RunCommand(std::string("'") + QM_NPHOST + "' --machine '" + m_dir.string() +
                                "' '" + QM_ENROLLMENT_PLUGIN + "' '" + script + "'",
                            &output);
    EXPECT_EQ(expectedStatus, status) << output << "page:\n" << ReadText(script);
    return output;
}

std::string EnrollmentPageMachine::MachineState(const char16_t* provider)
{
    std::string qmctl = std::string("'") + QM_QMCTL + "' --machine '" + m_dir.string() + "' ";
    std::string containers, store;
    EXPECT_EQ(0, RunCommand(qmctl + "key containers '" + Utf8(provider) + "' --keys", &containers))
        << containers;
    EXPECT_EQ(0, RunCommand(qmctl + "store list user MY --keys", &store)) << store;
    return containers + "--- MY\n" + store;
}

EnrollmentPageMachine::Request EnrollmentPageMachine::RequestPage(const PageValues& choices)
{
    Request r;
    std::string page = RunPage("request.js", choices);
    EXPECT_EQ("true", Line(page, "csp"));
    EXPECT_EQ("true", Line(page, "alg"));
    r.container = Line(page, "container");
    EXPECT_EQ(38u, r.container.size()) << page;
    r.wcontainer.assign(r.container.begin(), r.container.end());
    r.der = RequestDer(Replaced(Line(page, "request"), {{"|", "\r\n"}}));
    return r;
}
