#include "device/windows/WideText.h"

#include <windows.h>

std::wstring Wide(const std::string& utf8)
{
    const int length = static_cast<int>(utf8.size());
    const int chars = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(chars > 0 ? chars : 0), L'\0');
    if (chars > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), chars);
    return wide;
}

std::string Utf8(const wchar_t* text, size_t length)
{
    const int chars = static_cast<int>(length);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, chars, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, chars, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

std::string Utf8(const std::wstring& text)
{
    return Utf8(text.data(), text.size());
}
