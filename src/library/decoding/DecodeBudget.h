#pragma once

#include <QMutex>
#include <QWaitCondition>
#include <QtGlobal>
#include <atomic>
#include <utility>

namespace framlet {

// A cap on the bytes of pixels being decoded at once in the whole process (main makes the one).
// Each decode asks for the bytes its full image will take and waits until they are free, so eight
// large images arriving together are decoded one or two at a time instead of all at once. A decode
// larger than the whole cap waits until it has the cap to itself. Safe to call from any thread;
// waits happen on pool threads only.
class DecodeBudget {
public:
    // Released when it goes out of scope.
    class Lease {
    public:
        Lease(DecodeBudget* budget, qint64 bytes) : m_budget(budget), m_bytes(bytes) {}
        Lease(Lease&& other) noexcept
            : m_budget(std::exchange(other.m_budget, nullptr)), m_bytes(other.m_bytes) {}
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Lease& operator=(Lease&&) = delete;
        ~Lease();

    private:
        DecodeBudget* m_budget;
        qint64 m_bytes;
    };

    // Enough for one very large image and its scaled copy, or several screenshots at once.
    static constexpr qint64 processCapacity = 320LL * 1024 * 1024;

    explicit DecodeBudget(qint64 capacity);

    Lease acquire(qint64 bytes);

    qint64 capacity() const { return m_capacity; }
    qint64 inUse() const;
    // How many decodes it let in so far: each decode of an image file's pixels asks once, so
    // this tells how many images were read, whatever for.
    quint64 decodes() const { return m_decodes.load(); }

private:
    void release(qint64 bytes);

    const qint64 m_capacity;
    mutable QMutex m_mutex;
    QWaitCondition m_freed;
    qint64 m_inUse = 0;
    std::atomic<quint64> m_decodes = 0;
};

}  // namespace framlet
