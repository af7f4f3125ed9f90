#include "windows/VideoInfoRequests.h"

CVideoInfoRequests::Request CVideoInfoRequests::Submit(const std::wstring& source) {
    CAutoLock lock(m_lock);
    Request request;
    if (source == m_previous) return request;
    m_previous = source;
    request.changed = true;
    request.generation = ++m_generation;
    request.startBuild = !source.empty();
    return request;
}

bool CVideoInfoRequests::IsCurrent(unsigned int generation) const {
    CAutoLock lock(m_lock);
    return generation == m_generation;
}

void CVideoInfoRequests::SetLastBuild(unsigned int generation) {
    CAutoLock lock(m_lock);
    if (generation == m_generation) m_lastBuild = true;
}

bool CVideoInfoRequests::IsLastBuild() const {
    CAutoLock lock(m_lock);
    return m_lastBuild;
}
