// The status label: a child window that centres each line, wraps between words or between any two
// Chinese characters, starts at the top and clips at the bottom. It draws no background of its
// own and keeps its text as the window text, so WM_GETTEXT reads it.
#pragma once

#include <windows.h>

#include <string>

namespace pruvolt::win32 {

inline constexpr wchar_t kLabelClass[] = L"PruvoltLabel";

void RegisterLabelClass(HINSTANCE instance);

// Tells screen readers what the label is: static text, named by its text, and a polite live
// region (UI Automation's LiveSetting), whose changes are read out when the reader is free. Where
// the system's accessibility services refuse (Wine has none of these), the label is still read
// by its text.
void DescribeLabelToScreenReaders(HWND label);

// Announces the label's text as a change of its live region, once: a text that differs from the
// one announced last only in the full stops at its end (a row of dots that grows while the
// installer starts) is the same news. `announced` holds the text announced last.
void AnnounceLabelText(HWND label, const std::wstring& text, std::wstring& announced);

}  // namespace pruvolt::win32
