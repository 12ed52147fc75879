// A kernel handle that is closed when it goes out of scope.
#pragma once

#include <windows.h>

#include <utility>

namespace kestovar {

class Handle {
 public:
  Handle() = default;
  // Takes the handle over; INVALID_HANDLE_VALUE, as CreateFileW fails, is no handle.
  explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~Handle() { Close(); }
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

  // Closes it now, keeping the last error of the call before.
  void Close() {
    if (handle_ == nullptr) return;
    const DWORD error = GetLastError();
    CloseHandle(std::exchange(handle_, nullptr));
    SetLastError(error);
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace kestovar
