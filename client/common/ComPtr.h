#pragma once
// Move-only owner of one COM interface reference.
//
// Ownership follows UniqueHandle: the constructor and Reset adopt a reference the caller
// already holds, Release hands the reference back without calling IUnknown::Release, and the
// destructor releases it. Share takes an additional reference (AddRef) on a pointer owned
// elsewhere, such as an interface passed in as a parameter.
#include <unknwn.h>

namespace Common {

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept : pointer_(nullptr) {}
    explicit ComPtr(T* adopted) noexcept : pointer_(adopted) {}
    ~ComPtr() { Reset(); }

    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(other.Release()) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    static ComPtr Share(T* shared) noexcept
    {
        if (shared != nullptr)
            shared->AddRef();
        return ComPtr(shared);
    }

    T* Get() const noexcept { return pointer_; }
    T* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    // For out-parameters: drops the current reference first so that nothing leaks when the
    // callee overwrites the slot.
    T** Address() noexcept
    {
        Reset();
        return &pointer_;
    }

    T* Release() noexcept
    {
        T* pointer = pointer_;
        pointer_ = nullptr;
        return pointer;
    }

    void Reset(T* adopted = nullptr) noexcept
    {
        T* previous = pointer_;
        pointer_ = adopted;
        // Released after the swap, so a destructor that reaches back into this owner sees
        // the new state.
        if (previous != nullptr)
            previous->Release();
    }

    // Asks the held object for another interface; `result` is emptied when that fails.
    template <typename U>
    HRESULT QueryInterface(REFIID iid, ComPtr<U>& result) const noexcept
    {
        if (pointer_ == nullptr) {
            result.Reset();
            return E_POINTER;
        }
        return pointer_->QueryInterface(iid, reinterpret_cast<void**>(result.Address()));
    }

private:
    T* pointer_;
};

} // namespace Common
