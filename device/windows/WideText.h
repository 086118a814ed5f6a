#pragma once
#include <string>

// Windows speaks UTF-16; everything above the platform folder speaks UTF-8.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const wchar_t* text, size_t length);
std::string Utf8(const std::wstring& text);
