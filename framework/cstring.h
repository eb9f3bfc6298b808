// The framework's text type: a std::string with the printf-style formatting and the implicit
// C-string view that the window calls take.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const char* text) : text_(text != nullptr ? text : "") {}  // NOLINT: implicit
    CString(std::string text) : text_(std::move(text)) {}              // NOLINT: implicit
    CString(std::string_view text) : text_(text) {}                    // NOLINT: implicit

    // Replaces the contents with printf-style formatted text; any length fits.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args);

    int GetLength() const { return static_cast<int>(text_.size()); }
    bool IsEmpty() const { return text_.empty(); }
    void Empty() { text_.clear(); }
    // Index of the first occurrence at or after `start`, or -1.
    int Find(char c, int start = 0) const;
    int Find(const char* sub, int start = 0) const;

    operator const char*() const { return text_.c_str(); }  // NOLINT: implicit, as the API takes it
    const char* GetString() const { return text_.c_str(); }
    const std::string& str() const { return text_; }

    CString& operator+=(const CString& more) {
        text_ += more.text_;
        return *this;
    }
    CString& operator+=(char c) {
        text_ += c;
        return *this;
    }
    friend CString operator+(CString a, const CString& b) { return a += b; }
    friend bool operator==(const CString& a, const CString& b) { return a.text_ == b.text_; }
    friend bool operator==(const CString& a, const char* b) { return a.text_ == (b ? b : ""); }

private:
    std::string text_;
};
