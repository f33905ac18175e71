#include "library/decoding/DecodeBudget.h"

#include <algorithm>

namespace framlet {

DecodeBudget::Lease::~Lease() {
    if (m_budget) {
        m_budget->release(m_bytes);
    }
}

DecodeBudget::DecodeBudget(qint64 capacity) : m_capacity(std::max<qint64>(1, capacity)) {
}

DecodeBudget::Lease DecodeBudget::acquire(qint64 bytes) {
    const qint64 wanted = std::clamp<qint64>(bytes, 0, m_capacity);
    ++m_decodes;
    QMutexLocker lock(&m_mutex);
    while (m_inUse + wanted > m_capacity) {
        m_freed.wait(&m_mutex);
    }
    m_inUse += wanted;
    return Lease(this, wanted);
}

qint64 DecodeBudget::inUse() const {
    const QMutexLocker lock(&m_mutex);
    return m_inUse;
}

void DecodeBudget::release(qint64 bytes) {
    {
        const QMutexLocker lock(&m_mutex);
        m_inUse -= bytes;
    }
    m_freed.wakeAll();
}

}  // namespace framlet
