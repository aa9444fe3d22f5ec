// How a window owns the object behind it: the object lives on the process heap (the
// window code uses no exceptions, so no operator new), the window takes it over at
// WM_NCCREATE and deletes it at WM_NCDESTROY, the last message it gets.
#pragma once

#include <windows.h>

#include <memory>
#include <new>
#include <utility>

namespace tarvik::ui {

template <typename T>
struct HeapDelete {
  void operator()(T* object) const {
    object->~T();
    HeapFree(GetProcessHeap(), 0, object);
  }
};

template <typename T>
using HeapOwner = std::unique_ptr<T, HeapDelete<T>>;

/// A T made on the process heap, or null if the heap has no room (HeapAlloc leaves the
/// last error alone).
template <typename T, typename... Args>
HeapOwner<T> HeapNew(Args&&... args) {
  void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(T));
  return HeapOwner<T>(memory ? new (memory) T(std::forward<Args>(args)...) : nullptr);
}

/// The window procedure of a window whose object is a T. CreateWindowEx gets a
/// `T::CreateParams` whose `owner` holds the object: should creation fail before
/// WM_NCCREATE, that owner still frees it. T answers `Attach(window)` and
/// `HandleMessage(message, wParam, lParam)`.
template <typename T>
LRESULT CALLBACK OwningWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* params = static_cast<typename T::CreateParams*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    T* object = params->owner.release();
    object->Attach(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
  }
  auto* object = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!object) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    HeapDelete<T>()(object);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return object->HandleMessage(message, wParam, lParam);
}

}  // namespace tarvik::ui
