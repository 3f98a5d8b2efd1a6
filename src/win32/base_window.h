#pragma once
// One class per window: the static window procedure finds the object that
// owns the window and hands each message to its HandleMessage. An exception
// that escapes a message is shown in an error box and the window goes on.
#include <string>

// The core's headers name some constants like <windows.h>'s macros: first.
#include "form/form_core.h"
#include "common/windows_api.h"
#include "win32/win32_text.h"

namespace vandrel::win32 {

template <class DerivedWindow>
class BaseWindow {
public:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        DerivedWindow* self = nullptr;
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            self = static_cast<DerivedWindow*>(create->lpCreateParams);
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->hwnd_ = hwnd;
        } else {
            self = reinterpret_cast<DerivedWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (!self)
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        try {
            return self->HandleMessage(message, wParam, lParam);
        } catch (...) {
            // Exceptions must not unwind through the system's frames.
            const std::wstring text = Widen(form::ExceptionMessage(std::current_exception()));
            ::MessageBoxW(hwnd, text.c_str(), L"Vandrel1", MB_OK | MB_ICONERROR);
            return 0;
        }
    }

    BaseWindow() = default;
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

    bool Create(const wchar_t* caption, DWORD style, DWORD exStyle, int width, int height,
                HINSTANCE instance) {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DerivedWindow::WindowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = static_cast<const DerivedWindow*>(this)->ClassName();
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
        if (!windowClass.hIcon)
            windowClass.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
        ::RegisterClassExW(&windowClass);
        ::CreateWindowExW(exStyle, windowClass.lpszClassName, caption, style, CW_USEDEFAULT,
                          CW_USEDEFAULT, width, height, nullptr, nullptr, instance,
                          static_cast<DerivedWindow*>(this));
        return hwnd_ != nullptr;
    }

    HWND Window() const { return hwnd_; }

protected:
    HWND hwnd_ = nullptr;
};

} // namespace vandrel::win32
