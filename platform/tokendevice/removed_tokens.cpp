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

std::string WriteRemovedTokenLabels(const std::set<std::string>& labels)
{
    auto file = qm::RemovedTokensFile();
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    auto next = file;
    next += ".new";
    {
        std::ofstream out(next, std::ios::trunc);
        for (const auto& label : labels)
            out << label << "\n";
        if (!out)
            return next.string() + ": cannot be written";
    }
    std::filesystem::rename(next, file, ec);
    return ec ? file.string() + ": " + ec.message() : std::string();
}

std::string LabelText(const unsigned char (&label)[32])
{
    std::string text(reinterpret_cast<const char*>(label), sizeof label);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}
} // namespace qm::tokendevice
