// Thin helpers for the module's COM objects: an interlocked reference count
// that frees the object through the module's allocator at zero, a smart
// pointer that never forgets a Release, and an early-return helper.
#ifndef ZU_PLUGIN_COM_OBJECT_H
#define ZU_PLUGIN_COM_OBJECT_H

#include <atomic>
#include <utility>

#include "plugin/allocator.h"
#include "zuinstr/zuinstr_types.h"

#define ZU_RETURN_IF_FAILED(expr)            \
    do {                                     \
        const HRESULT zu_hr_ = (expr);       \
        if (FAILED(zu_hr_)) return zu_hr_;   \
    } while (0)

namespace zu {

// Objects start with count 0 (as the factory hands them out) and free
// themselves when the count returns to 0.
template <typename Derived>
class RefCounted {
public:
    ULONG AddRefImpl() { return ++refs_; }
    ULONG ReleaseImpl() {
        const ULONG left = --refs_;
        if (left == 0) ZuDelete(static_cast<Derived*>(this));
        return left;
    }
    ULONG RefCount() const { return refs_.load(); }
    // A new reference, unless the object is already on its way out (count 0):
    // for lists that find objects which remove themselves when they end.
    bool TryAddRef() {
        ULONG n = refs_.load();
        while (n != 0)
            if (refs_.compare_exchange_weak(n, n + 1)) return true;
        return false;
    }

private:
    std::atomic<ULONG> refs_{0};
};

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference on p.
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    // Adopts a reference the caller already owns.
    static ComPtr Adopt(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    void Reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out arguments: releases what was held and exposes the slot.
    T** Put() {
        Reset();
        return &p_;
    }
    T* Detach() { return std::exchange(p_, nullptr); }

private:
    T* p_ = nullptr;
};

}  // namespace zu

#endif
