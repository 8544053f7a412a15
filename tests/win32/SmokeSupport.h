// Helpers for the programs that drive the real Win32 windows: checks that
// print one line each, reading controls back, and answering the next message
// box from a timer inside its modal loop.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>

namespace smoke {

inline int& Failures() {
    static int failures = 0;
    return failures;
}

inline std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

inline void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "PASS" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) ++Failures();
}

inline void CheckText(const std::wstring& got, const std::wstring& expected, const std::string& what) {
    Check(got == expected,
          what + ": '" + Narrow(got) + "'" + (got == expected ? "" : " expected '" + Narrow(expected) + "'"));
}

inline std::wstring TextOf(HWND window) {
    if (!window) return L"<no window>";
    const int n = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(n));
    return text;
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// What the timer saw of a message box before it answered it.
struct Box {
    bool found = false;
    std::wstring caption, text, ok, cancel;
    HWND owner = nullptr;
    bool ownerEnabled = true;
    bool hasIcon = false;
    int defaultId = 0;
};

inline Box& LastBox() {
    static Box box;
    return box;
}

inline std::function<void(HWND)>& PendingAnswer() {
    static std::function<void(HWND)> answer;
    return answer;
}

inline BOOL CALLBACK FindBoxOfThread(HWND window, LPARAM found) {
    if (ClassOf(window) == L"#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

inline BOOL CALLBACK FindIcon(HWND child, LPARAM seen) {
    if (ClassOf(child) == L"Static" || ClassOf(child) == L"STATIC") {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child) &&
            SendMessageW(child, STM_GETICON, 0, 0))
            *reinterpret_cast<bool*>(seen) = true;
    }
    return TRUE;
}

inline void CALLBACK AnswerWhenUp(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBoxOfThread, reinterpret_cast<LPARAM>(&box));
    if (!box) return;  // not up yet; the timer fires again
    KillTimer(nullptr, timer);
    Box& seen = LastBox();
    seen = Box{};
    seen.found = true;
    seen.caption = TextOf(box);
    seen.text = TextOf(GetDlgItem(box, 0xFFFF));
    seen.ok = GetDlgItem(box, IDOK) ? TextOf(GetDlgItem(box, IDOK)) : L"";
    seen.cancel = GetDlgItem(box, IDCANCEL) ? TextOf(GetDlgItem(box, IDCANCEL)) : L"";
    seen.owner = GetWindow(box, GW_OWNER);
    seen.ownerEnabled = seen.owner ? IsWindowEnabled(seen.owner) != FALSE : true;
    EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&seen.hasIcon));
    const LRESULT def = SendMessageW(box, DM_GETDEFID, 0, 0);
    seen.defaultId = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : 0;
    auto answer = std::move(PendingAnswer());
    PendingAnswer() = nullptr;
    if (answer) answer(box);
}

// The next message box the thread shows gets answered by answer(box).
inline void AnswerNextBox(std::function<void(HWND)> answer) {
    LastBox() = Box{};
    PendingAnswer() = std::move(answer);
    SetTimer(nullptr, 0, 30, AnswerWhenUp);
}

// Gestures on a box.
inline void Click(HWND box, int id) {
    SendMessageW(GetDlgItem(box, id), BM_CLICK, 0, 0);
}
inline void PressKey(HWND box, WPARAM key) {
    HWND target = GetFocus();
    if (!target || (target != box && !IsChild(box, target))) target = box;
    PostMessageW(target, WM_KEYDOWN, key, 0);
    PostMessageW(target, WM_KEYUP, key, 0xC0000000);
}
inline void CloseControl(HWND box) {
    PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// What every smoke program does first: the common controls of the
// manifest's version 6, as the program uses them.
inline void Start() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

// The program named on the command line: CTest names it by its path on the
// build machine, which Wine reaches through drive Z:.
inline std::wstring ProgramPath(std::wstring program) {
    if (!program.empty() && program[0] == L'/') {
        for (auto& c : program)
            if (c == L'/') c = L'\\';
        program = L"Z:" + program;
    }
    return program;
}

inline int Result() {
    std::printf("%s\n", Failures() == 0 ? "RESULT all passed"
                                        : ("RESULT " + std::to_string(Failures()) + " failed").c_str());
    return Failures() == 0 ? 0 : 1;
}

}  // namespace smoke
