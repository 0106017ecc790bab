// A one-thread HTTP server on a free loopback port that answers every request with one status.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

class LoopbackHttp
{
public:
    explicit LoopbackHttp(int status, const std::string& reason = "Status") : m_status(status), m_reason(reason)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 8);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~LoopbackHttp()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }

    std::u16string Url(const std::string& path = "/") const
    {
        std::string url = "http://127.0.0.1:" + std::to_string(m_port) + path;
        return std::u16string(url.begin(), url.end());
    }
    int Requests() const { return m_requests; }

    // A loopback port with nothing listening on it.
    static std::u16string RefusedUrl()
    {
        int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(s);
        std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
        return std::u16string(url.begin(), url.end());
    }

private:
    void Serve()
    {
        while (!m_stop)
        {
            int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0)
                return;
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos)
            {
                ssize_t n = ::read(client, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                request.append(buffer, size_t(n));
            }
            ++m_requests;
            const std::string body = "<html>" + m_reason + "</html>";
            std::string answer = "HTTP/1.1 " + std::to_string(m_status) + " " + m_reason +
                                 "\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                                 std::to_string(m_status == 204 ? 0 : body.size()) + "\r\n\r\n" +
                                 (m_status == 204 ? "" : body);
            ssize_t sent = ::write(client, answer.data(), answer.size());
            (void)sent;
            ::close(client);
        }
    }

    int m_status;
    std::string m_reason;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};
