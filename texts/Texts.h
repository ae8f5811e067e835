// Every text the program shows, exactly as the user sees it: in the main window, and on the console
// of a run with a switch.
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

// --- Runs with a switch (no window) ------------------------------------------------------------
// The probe's lines are those of the label's success and failure texts, without empty lines.

inline constexpr wchar_t kUsage[] =
    L"用法：pruvolt.exe [/check | /repair]\r\n"
    L"  /check   只測試資料庫連線，不開啟視窗；結束代碼 0 表示連線正常，否則為錯誤代碼\r\n"
    L"  /repair  測試連線；失敗時以 /quiet /norestart 安裝資料庫驅動程式，等候安裝結束後再測試一次\r\n"
    L"不加參數時開啟程式視窗。";
inline constexpr wchar_t kAlreadyRunning[] = L"另一個 Pruvolt 正在執行 (視窗或 /repair)，本次不修復";
// kInstallerMissing, then the installer's path beside the program.
inline constexpr wchar_t kInstallerMissing[] = L"找不到安裝程式：";
// kStagedBefore, the source, kStagedMiddle, the staged copy.
inline constexpr wchar_t kStagedBefore[] = L"已將安裝程式 ";
inline constexpr wchar_t kStagedMiddle[] = L" 複製到 ";
// Followed by the command line.
inline constexpr wchar_t kLaunching[] = L"啟動安裝程式並等候結束：";
inline constexpr wchar_t kElevationRequired[] =
    L"安裝程式需要系統管理員權限，無人值守執行無法回應權限提示：請以系統管理員身分執行 /repair";
// Why a staged copy of the installer was not started.
inline constexpr wchar_t kStagedCopyChanged[] = L"複製的安裝程式在啟動前已被更動，為安全起見不予啟動";
// Followed by the installer's exit code.
inline constexpr wchar_t kInstallerEnded[] = L"安裝程式已結束，結束代碼 ";
// kInstallerOutlivedBefore, the limit in minutes, kInstallerOutlivedAfter.
inline constexpr wchar_t kInstallerOutlivedBefore[] = L"安裝程式執行超過 ";
inline constexpr wchar_t kInstallerOutlivedAfter[] = L" 分鐘仍未結束，不再等候 (安裝程式仍在執行)";
inline constexpr wchar_t kRestartNeeded[] = L"安裝程式要求重新開機，重新開機後安裝才會完成";

}  // namespace pruvolt::texts
