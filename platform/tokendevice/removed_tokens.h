// The labels of the tokens that are out of their reader.
#pragma once

#include <set>
#include <string>

namespace qm::tokendevice
{
std::set<std::string> RemovedTokenLabels();
// Replaces the list (written aside, then renamed over it); an empty text, or what failed.
std::string WriteRemovedTokenLabels(const std::set<std::string>& labels);
// A PKCS#11 label field (32 characters, blank-padded) without its padding.
std::string LabelText(const unsigned char (&label)[32]);
} // namespace qm::tokendevice
