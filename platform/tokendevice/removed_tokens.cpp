#include "removed_tokens.h"

#include <fstream>

#include "qm/token_device.h"

namespace qm::tokendevice
{
std::set<std::string> RemovedTokenLabels()
{
    std::set<std::string> labels;
    std::ifstream in(qm::RemovedTokensFile());
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            labels.insert(line);
    return labels;
}

std::string LabelText(const unsigned char (&label)[32])
{
    std::string text(reinterpret_cast<const char*>(label), sizeof label);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}
} // namespace qm::tokendevice
