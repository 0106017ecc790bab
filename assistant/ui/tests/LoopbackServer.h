// A small HTTP server on 127.0.0.1 for pages from elsewhere: serves fixed pages by path
// and keeps what the pages report with GET /report?key=value.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

class LoopbackServer
{
public:
    explicit LoopbackServer(std::map<std::string, std::string> pages);
    ~LoopbackServer();
    int Port() const { return m_port; }
    std::string Reported(const std::string& key);
    void Clear();

private:
    void Serve();
    void Answer(int fd);

    std::map<std::string, std::string> m_pages;
    std::map<std::string, std::string> m_reports;
    std::mutex m_lock;
    std::atomic<bool> m_stop{false};
    int m_listen = -1;
    int m_port = 0;
    std::thread m_thread;
};
