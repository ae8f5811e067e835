// The status label's line breaking and painting.
#include "platform/win32/Label.h"

#include <string>
#include <vector>

namespace pruvolt::win32 {

namespace {

// Ideographs, kana, full-width forms and CJK punctuation: a line may break before or after any.
bool IsCjk(wchar_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFFEF);
}

// Punctuation that must not begin a line.
bool IsClosingPunctuation(wchar_t c) {
    static constexpr wchar_t kClosing[] = L"，。、：；！？）」』】》〉.,:;!?)]}";
    for (const wchar_t k : kClosing) {
        if (k != 0 && k == c) {
            return true;
        }
    }
    return false;
}

// True when a line may end between text[i - 1] and text[i].
bool CanBreakBefore(const std::wstring& text, std::size_t i) {
    if (i == 0 || i >= text.size() || IsClosingPunctuation(text[i])) {
        return false;
    }
    const wchar_t before = text[i - 1];
    const wchar_t here = text[i];
    if (here == L' ') {
        return false;  // trailing blanks stay on the line they end
    }
    return before == L' ' || IsCjk(before) || IsCjk(here);
}

void WrapParagraph(const std::wstring& paragraph, int maxWidth,
                   const auto& measure, std::vector<std::wstring>& lines) {
    std::size_t start = 0;
    while (start < paragraph.size()) {
        std::size_t end = start + 1;
        std::size_t lastBreak = 0;
        while (end < paragraph.size()) {
            if (CanBreakBefore(paragraph, end)) {
                lastBreak = end;
            }
            if (measure(paragraph.substr(start, end + 1 - start)) > maxWidth) {
                break;
            }
            ++end;
        }
        if (end < paragraph.size() && lastBreak > start) {
            end = lastBreak;
        }
        std::wstring line = paragraph.substr(start, end - start);
        while (!line.empty() && line.back() == L' ') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end;
        while (start < paragraph.size() && paragraph[start] == L' ') {
            ++start;
        }
    }
    if (paragraph.empty()) {
        lines.emplace_back();
    }
}

// Splits text at its line breaks, then wraps each paragraph to lines no wider than maxWidth.
std::vector<std::wstring> WrapLines(const std::wstring& text, int maxWidth, const auto& measure) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(L"\r\n", start);
        WrapParagraph(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start),
                      maxWidth, measure, lines);
        if (end == std::wstring::npos) {
            break;
        }
        start = end + 2;
    }
    return lines;
}

LRESULT CALLBACK LabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFONT:
        ::SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
        if (LOWORD(lParam) != 0) {
            ::InvalidateRect(window, nullptr, TRUE);
        }
        return 0;
    case WM_GETFONT:
        return ::GetWindowLongPtrW(window, GWLP_USERDATA);
    case WM_SETTEXT: {
        const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
        ::InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    case WM_ERASEBKGND: {
        // No background of its own: the parent's shows through.
        RECT rect;
        ::GetClientRect(window, &rect);
        const HWND parent = ::GetParent(window);
        POINT origin{0, 0};
        ::MapWindowPoints(window, parent, &origin, 1);
        const HDC dc = reinterpret_cast<HDC>(wParam);
        POINT previous;
        ::SetWindowOrgEx(dc, origin.x, origin.y, &previous);
        ::SendMessageW(parent, WM_ERASEBKGND, wParam, 0);
        ::SetWindowOrgEx(dc, previous.x, previous.y, nullptr);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = ::BeginPaint(window, &paint);
        RECT client;
        ::GetClientRect(window, &client);
        const auto font = reinterpret_cast<HFONT>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        const HGDIOBJ oldFont = ::SelectObject(dc, font);
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        TEXTMETRICW metrics;
        ::GetTextMetricsW(dc, &metrics);
        const int lineHeight = metrics.tmHeight + metrics.tmExternalLeading;

        const int length = ::GetWindowTextLengthW(window);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
        const auto measure = [dc](const std::wstring& run) {
            SIZE size{};
            ::GetTextExtentPoint32W(dc, run.c_str(), static_cast<int>(run.size()), &size);
            return static_cast<int>(size.cx);
        };
        int y = 0;
        for (const std::wstring& line : WrapLines(text, client.right, measure)) {
            if (y >= client.bottom) {
                break;  // cut off at the bottom: the label neither grows nor scrolls
            }
            RECT row{0, y, client.right, y + lineHeight};
            ::DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &row,
                        DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
            y += lineHeight;
        }
        ::SelectObject(dc, oldFont);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

void RegisterLabelClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = LabelProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kLabelClass;
    ::RegisterClassExW(&windowClass);
}

}  // namespace pruvolt::win32
