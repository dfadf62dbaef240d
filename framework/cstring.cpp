#include "cstring.h"

#include <cstdio>
#include <vector>

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args)
{
    va_list probe;
    va_copy(probe, args);
    int needed = std::vsnprintf(nullptr, 0, format, probe);
    va_end(probe);
    if (needed < 0) {
        m_text.clear();
        return;
    }
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    m_text.assign(buffer.data(), static_cast<size_t>(needed));
}

CString& CString::MakeUpper()
{
    for (char& c : m_text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return *this;
}

CString& CString::MakeLower()
{
    for (char& c : m_text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return *this;
}

int CString::Find(const char* what, int start) const
{
    if (!what || start < 0 || start > GetLength()) return -1;
    size_t at = m_text.find(what, static_cast<size_t>(start));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(char c, int start) const
{
    if (start < 0 || start > GetLength()) return -1;
    size_t at = m_text.find(c, static_cast<size_t>(start));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char c) const
{
    size_t at = m_text.rfind(c);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

CString CString::Left(int count) const
{
    if (count <= 0) return CString();
    return CString(m_text.substr(0, static_cast<size_t>(count)));
}

CString CString::Mid(int first) const
{
    if (first < 0) first = 0;
    if (first >= GetLength()) return CString();
    return CString(m_text.substr(static_cast<size_t>(first)));
}

CString CString::Mid(int first, int count) const
{
    if (first < 0) first = 0;
    if (first >= GetLength() || count <= 0) return CString();
    return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

void UpperCaseAscii(char* text)
{
    if (!text) return;
    for (; *text; ++text)
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
}
