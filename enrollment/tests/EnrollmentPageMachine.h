// A request machine on which pages run through nphost and the enrollment plug-in, with what
// qmctl reports of its keys and certificates.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "DeliveryAuthority.h"
#include "RequestMachine.h"

using PageValues = std::vector<std::pair<std::string, std::string>>;

std::string ReadText(const std::string& path);
// The text with every placeholder replaced by its value.
std::string Replaced(std::string text, const PageValues& values);
// The value after "key " on the first line that starts with it.
std::string Line(const std::string& output, const std::string& key);
std::vector<std::string> Lines(const std::string& output, const std::string& key);

class EnrollmentPageMachine : public RequestMachine
{
  protected:
    // Runs one page of the page folder with its placeholders filled in; the page must end
    // with the status given.
    std::string RunPage(const std::string& page, const PageValues& values, int expectedStatus = 0);
    // qmctl's report of the machine: the provider's containers with a line per key (its
    // public key and the certificate on it), then the user's MY store with the key each
    // certificate is linked to.
    std::string MachineState(const char16_t* provider);

    // The request page for a double certificate: the container it made and the request.
    struct Request
    {
        std::string container;
        std::u16string wcontainer;
        Bytes der;
    };
    Request RequestPage(const PageValues& choices);
};
