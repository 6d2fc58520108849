// Sole owner of a kernel object handle: closed when the owner goes.
#pragma once

#include <windows.h>

class CHandle {
public:
    CHandle() = default;
    explicit CHandle(HANDLE h) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    CHandle(CHandle&& other) noexcept : m_h(other.Release()) {}
    CHandle& operator=(CHandle&& other) noexcept
    {
        Reset(other.Release());
        return *this;
    }

    HANDLE Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    void Reset(HANDLE h = nullptr)
    {
        Close();
        m_h = h;
    }
    HANDLE Release()
    {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }

private:
    void Close()
    {
        if (m_h) CloseHandle(m_h);
        m_h = nullptr;
    }

    HANDLE m_h = nullptr;
};
