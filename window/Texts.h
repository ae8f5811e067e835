// Every text the main window shows, exactly as the user sees it.
#pragma once

namespace pruvolt::texts {

inline constexpr wchar_t kCaption[] = L"Pruvolt & Installer";

inline constexpr wchar_t kProbing[] = L"\r\n正在測試連線資料中...\r\n請稍候...";
inline constexpr wchar_t kSuccess[] = L"\r\n資料庫正常連線\r\n不需要安裝 Access Database Engine";
// The failure text: kFailureNumberOpen, the number, kFailureNumberClose, the description.
inline constexpr wchar_t kFailureNumberOpen[] = L"錯誤代碼 (";
inline constexpr wchar_t kFailureNumberClose[] = L")\r\n回報內容：";

inline constexpr wchar_t kInstallCaption[] = L"安裝資料庫驅動程式";
inline constexpr wchar_t kExitCaption[] = L"結束程式";

// The not-found message: kNotFoundBefore, the staged path, kNotFoundAfter.
inline constexpr wchar_t kNotFoundBefore[] = L"找不到預設的";
inline constexpr wchar_t kNotFoundAfter[] = L"安裝程式";
inline constexpr wchar_t kLaunchFailed[] =
    L"啟動安裝資料庫驅動程式時發生無法預期錯誤\r\n\r\n"
    L"請您直接選擇 [Orvandel > Pruvolt > 直接安裝資料庫驅動程式] 進行安裝";

// Followed by one to ten full stops.
inline constexpr wchar_t kInstalling[] = L"驅動程式安裝中，請稍候";

// The report of a failure that no handler expected; the program ends after it.
inline constexpr wchar_t kUnexpectedErrorOpen[] = L"執行階段錯誤 (";
inline constexpr wchar_t kUnexpectedErrorClose[] = L")\r\n\r\n";

}  // namespace pruvolt::texts
