#include "dialog_script.h"

#include <cctype>
#include <charconv>

#include "winuser.h"

namespace nphost
{
namespace
{
struct KeyName
{
    const char* name;
    uint32_t vk;
};

constexpr KeyName kKeys[] = {
    {"Return", VK_RETURN}, {"Enter", VK_RETURN}, {"Escape", VK_ESCAPE}, {"Esc", VK_ESCAPE},
    {"Tab", VK_TAB},       {"Space", VK_SPACE},  {"Up", VK_UP},         {"Down", VK_DOWN},
    {"Left", VK_LEFT},     {"Right", VK_RIGHT},  {"Home", VK_HOME},     {"End", VK_END},
    {"PageUp", VK_PRIOR},  {"PageDown", VK_NEXT}};

bool SameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::optional<int> Number(std::string_view text, int base = 10)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A key name, or a virtual-key code written 0xNN.
std::optional<uint32_t> KeyCode(std::string_view name)
{
    for (const KeyName& key : kKeys)
        if (SameLetters(name, key.name))
            return key.vk;
    if (name.size() > 2 && (name.starts_with("0x") || name.starts_with("0X")))
        if (auto code = Number(name.substr(2), 16); code && *code > 0 && *code < 0xFF)
            return uint32_t(*code);
    return std::nullopt;
}

// "<control>[@x:y]" of click, dblclick and move.
bool ParseTarget(std::string_view text, DialogStep& step, std::string& error)
{
    if (const size_t at = text.rfind('@'); at != std::string_view::npos)
    {
        const std::string_view point = text.substr(at + 1);
        const size_t colon = point.find(':');
        auto x = Number(point.substr(0, colon));
        auto y = colon == std::string_view::npos ? std::nullopt : Number(point.substr(colon + 1));
        if (!x || !y)
        {
            error = "the point after '@' must be X:Y in the control's client area";
            return false;
        }
        step.point = std::pair{*x, *y};
        text = text.substr(0, at);
    }
    if (text.empty() || text == "#" || (text[0] == '#' && !Number(text.substr(1))))
    {
        error = "name the control by its text or as #ID";
        return false;
    }
    step.control = std::string(text);
    return true;
}

bool ParseStep(std::string_view text, DialogStep& step, std::string& error)
{
    using Kind = DialogStep::Kind;
    step.text = std::string(text);
    const size_t colon = text.find(':');
    const std::string_view verb = text.substr(0, colon);
    const std::string_view rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    const bool hasArgument = colon != std::string_view::npos;

    if (verb == "close" && !hasArgument)
    {
        step.kind = Kind::Close;
        return true;
    }
    if (verb == "png")
    {
        step.kind = Kind::Png;
        step.file = std::string(rest);
        if (step.file.empty())
            error = "png: needs a file name";
        return !step.file.empty();
    }
    if (verb == "click" || verb == "dblclick" || verb == "move")
    {
        step.kind = verb == "click" ? Kind::Click : verb == "dblclick" ? Kind::DoubleClick : Kind::Move;
        return ParseTarget(rest, step, error);
    }
    step.kind = Kind::Key;
    auto vk = KeyCode(verb == "key" ? rest : text);
    if (!vk)
    {
        error = verb == "key" ? "unknown key" : "unknown step";
        return false;
    }
    step.vk = *vk;
    return true;
}
} // namespace

std::optional<DialogScript> ParseDialogScript(std::string_view text, std::string& error)
{
    DialogScript script;
    for (;;)
    {
        const size_t comma = text.find(',');
        DialogStep step;
        std::string why;
        if (!ParseStep(text.substr(0, comma), step, why))
        {
            error = "bad dialog input step \"" + std::string(text.substr(0, comma)) + "\": " + why;
            return std::nullopt;
        }
        script.push_back(std::move(step));
        if (comma == std::string_view::npos)
            return script;
        text.remove_prefix(comma + 1);
    }
}

std::string DialogKeyNames()
{
    std::string names;
    for (const KeyName& key : kKeys)
        names += std::string(names.empty() ? "" : ", ") + key.name;
    return names;
}
} // namespace nphost
