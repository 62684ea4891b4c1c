// UTF-8 text to and from Windows' wide strings, for the *_windows.cpp sources.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <climits>
#include <string>

inline std::wstring wideFromUtf8(const std::string& text) {
    if (text.empty() || text.size() > INT_MAX) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(count > 0 ? count : 0), L'\0');
    if (count > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), count);
    return wide;
}

inline std::string utf8FromWide(const wchar_t* wide) {
    const int count = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (count <= 1) return std::string();
    std::string text(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), count, nullptr, nullptr);
    text.pop_back(); // the terminating NUL
    return text;
}
#endif
