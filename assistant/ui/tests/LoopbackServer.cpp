#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace
{
std::string Unescape(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i)
    {
        if (s[i] == '%' && i + 2 < s.size())
        {
            out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        }
        else
            out += s[i] == '+' ? ' ' : s[i];
    }
    return out;
}
} // namespace

LoopbackServer::LoopbackServer(std::map<std::string, std::string> pages) : m_pages(std::move(pages))
{
    m_listen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(m_listen, 16) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return;
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen >= 0)
        close(m_listen);
}

std::string LoopbackServer::Reported(const std::string& key)
{
    std::lock_guard lock(m_lock);
    auto it = m_reports.find(key);
    return it == m_reports.end() ? "" : it->second;
}

void LoopbackServer::Clear()
{
    std::lock_guard lock(m_lock);
    m_reports.clear();
}

void LoopbackServer::Serve()
{
    while (!m_stop)
    {
        pollfd p{m_listen, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        int fd = accept(m_listen, nullptr, nullptr);
        if (fd >= 0)
        {
            Answer(fd);
            close(fd);
        }
    }
}

void LoopbackServer::Answer(int fd)
{
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos)
    {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0)
            return;
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return;
        request.append(buf, static_cast<size_t>(n));
    }
    std::string line = request.substr(0, request.find("\r\n"));
    size_t s1 = line.find(' '), s2 = line.find(' ', s1 + 1);
    std::string method = line.substr(0, s1), target = line.substr(s1 + 1, s2 - s1 - 1);
    std::string status = "404 Not Found", body;
    if (method == "GET" && target.rfind("/report?", 0) == 0)
    {
        std::string q = target.substr(8);
        size_t eq = q.find('=');
        std::lock_guard lock(m_lock);
        m_reports[Unescape(q.substr(0, eq))] = eq == std::string::npos ? "" : Unescape(q.substr(eq + 1));
        status = "200 OK";
    }
    else if (auto it = m_pages.find(target); method == "GET" && it != m_pages.end())
    {
        status = "200 OK";
        body = it->second;
    }
    std::string reply = "HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    for (size_t off = 0; off < reply.size();)
    {
        ssize_t n = write(fd, reply.data() + off, reply.size() - off);
        if (n <= 0)
            return;
        off += static_cast<size_t>(n);
    }
}
