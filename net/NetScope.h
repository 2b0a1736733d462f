#pragma once
// Small scope guards of the network layer: a work bracket, a value that is
// set for a scope and put back afterwards, and a close whose failure is
// dropped.

#include <cstdint>
#include <exception>
#include <utility>

#include "net/NetComponent.h"

namespace net {

// StartWork now, FinishWork when the scope ends. When the scope ends by an
// exception, what FinishWork throws is dropped so that the first failure is
// the one that goes on; otherwise it propagates.
class TNetWorkScope {
public:
    TNetWorkScope(TNetComponent& component, TWorkMode mode, int64_t maximum)
        : m_component(component), m_mode(mode), m_unwinding(std::uncaught_exceptions()) {
        m_component.StartWork(mode, maximum);
    }
    ~TNetWorkScope() noexcept(false) {
        if (std::uncaught_exceptions() == m_unwinding) {
            m_component.FinishWork(m_mode);
            return;
        }
        try {
            m_component.FinishWork(m_mode);
        } catch (...) {
        }
    }
    TNetWorkScope(const TNetWorkScope&) = delete;
    TNetWorkScope& operator=(const TNetWorkScope&) = delete;

private:
    TNetComponent& m_component;
    TWorkMode m_mode;
    int m_unwinding;
};

// Gives `target` a value for the scope and puts the old one back at its end,
// however the scope ends.
template <typename T>
class TScopedValue {
public:
    TScopedValue(T& target, T value) : m_target(target), m_saved(std::move(target)) { m_target = std::move(value); }
    ~TScopedValue() { m_target = std::move(m_saved); }
    TScopedValue(const TScopedValue&) = delete;
    TScopedValue& operator=(const TScopedValue&) = delete;

private:
    T& m_target;
    T m_saved;
};

// Runs a close (or drop) for a path that is already failing or cannot fail:
// a destructor, or a clean-up before another exception goes on. What the
// close raises is dropped.
template <typename Close>
void closeQuietly(Close&& close) noexcept {
    try {
        close();
    } catch (...) {
    }
}

}  // namespace net
