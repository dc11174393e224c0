#include "image/devicebytes.h"

#include <algorithm>
#include <cstring>

namespace mosaiq {

namespace {
    constexpr qint64 WindowSize = 64 * 1024;
}

DeviceBytes::DeviceBytes(QIODevice& device)
    : m_device(device)
    , m_size(device.size())
{
}

bool DeviceBytes::load(qint64 pos)
{
    if (pos < 0 || pos >= m_size)
        return false;
    if (pos >= m_windowStart && pos < m_windowStart + m_window.size())
        return true;
    m_window.clear();
    m_windowStart = pos;
    if (!m_device.seek(pos))
        return false;
    m_window = m_device.read(std::min(WindowSize, m_size - pos));
    return !m_window.isEmpty();
}

int DeviceBytes::at(qint64 pos)
{
    if (!load(pos))
        return -1;
    return uchar(m_window[pos - m_windowStart]);
}

QByteArray DeviceBytes::bytes(qint64 pos, qint64 count)
{
    QByteArray result;
    if (pos < 0 || count <= 0 || pos >= m_size)
        return result;
    count = std::min(count, m_size - pos);
    if (load(pos) && pos + count <= m_windowStart + m_window.size())
        return m_window.mid(pos - m_windowStart, count);
    if (!m_device.seek(pos))
        return result;
    result = m_device.read(count);
    m_window.clear(); // the device moved; the window is read again when next needed
    return result;
}

qint64 DeviceBytes::find(qint64 pos, char value)
{
    while (load(pos)) {
        const qint64 offset = pos - m_windowStart;
        const char* start = m_window.constData() + offset;
        const auto* hit
            = static_cast<const char*>(std::memchr(start, value, size_t(m_window.size() - offset)));
        if (hit)
            return pos + (hit - start);
        pos = m_windowStart + m_window.size();
    }
    return -1;
}

quint32 DeviceBytes::u16(qint64 pos, bool bigEndian)
{
    const int a = at(pos), b = at(pos + 1);
    if (a < 0 || b < 0)
        return 0;
    return bigEndian ? quint32(a << 8 | b) : quint32(b << 8 | a);
}

quint32 DeviceBytes::u32(qint64 pos, bool bigEndian)
{
    const quint32 a = u16(pos, bigEndian), b = u16(pos + 2, bigEndian);
    return bigEndian ? (a << 16 | b) : (b << 16 | a);
}

} // namespace mosaiq
