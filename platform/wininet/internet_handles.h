// The handles of WinINet: sessions from InternetOpenW and requests from InternetOpenUrlW.
#pragma once

#include <memory>
#include <string>

#include "wininet.h"

namespace qm::wininet
{
struct InternetObject
{
    virtual ~InternetObject() = default;
};

struct Session : InternetObject
{
    std::string proxy; // empty: no proxy
};

struct Request : InternetObject
{
    long status = 0;
};

HINTERNET AddHandle(std::shared_ptr<InternetObject> object);
std::shared_ptr<InternetObject> FindHandle(HINTERNET handle);
} // namespace qm::wininet
