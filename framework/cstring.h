// CString: the single-byte ANSI text that crosses module boundaries.
// Plain value semantics over std::string; no Unicode anywhere.
#pragma once

#include <cstdarg>
#include <string>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString(const char* text, size_t length) : m_text(text ? std::string(text, length) : std::string()) {}
    CString(const std::string& text) : m_text(text) {}

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    const char* c_str() const { return m_text.c_str(); }
    operator const char*() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    char GetAt(int index) const { return m_text[static_cast<size_t>(index)]; }
    char Last() const { return m_text.empty() ? '\0' : m_text.back(); }

    CString& operator+=(const CString& other) { m_text += other.m_text; return *this; }
    CString& operator+=(const char* other) { if (other) m_text += other; return *this; }
    CString& operator+=(char c) { m_text += c; return *this; }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_text + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.m_text); }
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }

    // printf-style formatting into a string of whatever length it needs.
    void Format(const char* format, ...);
    void FormatV(const char* format, va_list args);

    // ASCII-only case mapping: bytes outside a-z / A-Z are left alone.
    CString& MakeUpper();
    CString& MakeLower();

    int Find(const char* what, int start = 0) const;
    int Find(char c, int start = 0) const;
    int ReverseFind(char c) const;
    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

private:
    std::string m_text;
};

// In-place ASCII upper-casing of a C string (a-z only).
void UpperCaseAscii(char* text);
