// The in-memory controller for tests.
#include <stdexcept>

#include "controller.h"

namespace qm::test
{
uint32_t CapturedEvent::ArgUInt32(size_t i) const
{
    const auto& a = args.at(i);
    if (a.size() != 4)
        throw std::out_of_range("argument is not 4 bytes");
    return a[0] | (a[1] << 8) | (a[2] << 16) | (uint32_t(a[3]) << 24);
}

uint64_t CapturedEvent::ArgUInt64(size_t i) const
{
    const auto& a = args.at(i);
    if (a.size() != 8)
        throw std::out_of_range("argument is not 8 bytes");
    uint64_t v = 0;
    for (int k = 7; k >= 0; --k)
        v = (v << 8) | a[size_t(k)];
    return v;
}

std::u16string CapturedEvent::ArgText(size_t i) const
{
    const auto& a = args.at(i);
    std::u16string text;
    for (size_t k = 0; k + 1 < a.size(); k += 2)
        text += char16_t(a[k] | (a[k + 1] << 8));
    while (!text.empty() && text.back() == 0)
        text.pop_back();
    return text;
}

TraceCapture::TraceCapture(ULONG enableFlags, UCHAR level, const GUID* provider)
{
    auto session = std::make_shared<etw::Session>();
    session->flags = enableFlags;
    session->level = level;
    session->capture = true;
    if (provider)
        session->only = *provider;
    m_id = etw::InstallCapture(session);
}

TraceCapture::~TraceCapture()
{
    etw::InstallCapture(nullptr);
}

std::vector<CapturedEvent> TraceCapture::Events() const
{
    auto session = etw::CaptureSession(m_id);
    if (!session)
        return {};
    std::lock_guard guard(session->lock);
    return session->events;
}

void TraceCapture::Clear()
{
    if (auto session = etw::CaptureSession(m_id))
    {
        std::lock_guard guard(session->lock);
        session->events.clear();
    }
}
} // namespace qm::test
