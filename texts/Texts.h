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
// After a failed staging, the install button's message: kCopyFailedBefore, the installer beside
// the program, kCopyFailedMiddle, the staged path, a line break, then the failure text.
inline constexpr wchar_t kCopyFailedBefore[] = L"無法將安裝程式 ";
inline constexpr wchar_t kCopyFailedMiddle[] = L" 複製到 ";
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
    L"用法：pruvolt.exe [/check | /repair | /diagnose [/json]]\r\n"
    L"  /check     只測試資料庫連線，不開啟視窗；結束代碼 0 表示連線正常，否則為錯誤代碼\r\n"
    L"  /repair    測試連線；失敗時以 /quiet /norestart 安裝資料庫驅動程式，等候安裝結束後再測試一次\r\n"
    L"  /diagnose  測試連線，再報告本機 32 與 64 位元的 Access 資料庫引擎、Office、安裝程式及發現的問題；"
    L"加上 /json 時改為輸出一個 JSON 物件\r\n"
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
// Why an installer was not started: {1} the staged copy, {2} one of the three reasons below.
inline constexpr wchar_t kSignatureRefused[] = L"不啟動安裝程式 {1}：{2}";
inline constexpr wchar_t kSignatureNotTrusted[] =
    L"它沒有有效的數位簽章 (未簽署，或簽署後已被更動)";
inline constexpr wchar_t kSignatureUntrustedChain[] =
    L"它的數位簽章不是由本機信任的根憑證所發出";
inline constexpr wchar_t kSignatureOtherPublisher[] =
    L"它的數位簽章不是 Microsoft Corporation 的";
// Followed by the installer's exit code.
inline constexpr wchar_t kInstallerEnded[] = L"安裝程式已結束，結束代碼 ";
// kInstallerOutlivedBefore, the limit in minutes, kInstallerOutlivedAfter.
inline constexpr wchar_t kInstallerOutlivedBefore[] = L"安裝程式執行超過 ";
inline constexpr wchar_t kInstallerOutlivedAfter[] = L" 分鐘仍未結束，不再等候 (安裝程式仍在執行)";
inline constexpr wchar_t kRestartNeeded[] = L"安裝程式要求重新開機，重新開機後安裝才會完成";

// An elevated run (SYSTEM, or an administrator's full rights) whose own files others can change:
// nothing is tested or started. {1} the file or folder, {2} the account's SID.
inline constexpr wchar_t kProgramFolderWritable[] =
    L"{1} 可由其他帳戶 ({2}) 更改；以系統管理員或 SYSTEM 身分執行時不予測試也不安裝："
    L"請安裝在 Program Files 之下，或以 icacls 移除繼承的權限 (見 README)";
// {1} the .local file or folder beside the program.
inline constexpr wchar_t kProgramFolderRedirected[] =
    L"{1} 存在，它會改變本程式載入的 DLL；以系統管理員或 SYSTEM 身分執行時不予測試也不安裝：請刪除它";

// --- /diagnose: the report after the probe's lines ----------------------------------------------
// In the texts with {1}, {2}, ... the logic puts in the values that the comment names.

// {1} the version as the probe reads it, {2} kBits64 or kBits32, {3} the probe's bitness.
inline constexpr wchar_t kReportWindows[] = L"Windows 版本 {1} (平台.主.次版本)，{2}；測試連線的程式為 {3} 位元";
inline constexpr wchar_t kBits64[] = L"64 位元";
inline constexpr wchar_t kBits32[] = L"32 位元";
inline constexpr wchar_t kBitsUnknown[] = L"位元不明";
// Headings of the lists of one registry view: {1} its bitness.
inline constexpr wchar_t kReportOleDb[] = L"OLE DB 提供者 ({1} 位元登錄檢視)：";
inline constexpr wchar_t kReportOdbc[] = L"ODBC 驅動程式 ({1} 位元登錄檢視)：";
// {1} the provider's or driver's name, {2} its file, {3} one of the three file states below.
inline constexpr wchar_t kReportRegistration[] = L"  {1}：{2} ({3})";
inline constexpr wchar_t kFilePresent[] = L"檔案存在";
inline constexpr wchar_t kFileMissing[] = L"檔案不存在";
inline constexpr wchar_t kFileNotChecked[] = L"未檢查：不是本機磁碟上的路徑";
inline constexpr wchar_t kReportNone[] = L"  (無)";
inline constexpr wchar_t kReportOffice[] = L"Office：";
// {1} the version, {2} its bitness (kBits64, kBits32 or kBitsUnknown).
inline constexpr wchar_t kReportClickToRun[] = L"  隨選即用 (Click-to-Run) {1}，{2}";
inline constexpr wchar_t kReportMsi[] = L"  MSI 安裝 {1}，{2}";
// {1} the installer's path, {2} its bitness, {3} kInstallerBeside or kInstallerNotBeside.
inline constexpr wchar_t kReportInstaller[] = L"安裝程式：{1}，{2}，{3}";
inline constexpr wchar_t kInstallerBeside[] = L"在本程式旁";
inline constexpr wchar_t kInstallerNotBeside[] = L"不在本程式旁";
inline constexpr wchar_t kReportNoFindings[] = L"未發現問題";
// {1} the number of findings; each then follows on a line of its own: [code] text.
inline constexpr wchar_t kReportFindings[] = L"發現的問題 ({1})：";

// The findings: what is wrong, and what to do.
inline constexpr wchar_t kFindingJetMissing[] =
    L"32 位元登錄檢視中沒有 Microsoft.Jet.OLEDB.4.0，或它的 DLL 已不存在：Jet 4.0 只有 32 位元，"
    L"隨 Windows 提供，Access Database Engine 不會安裝它；請以 sfc /scannow 修復 Windows 系統檔案，"
    L"或在含有 Jet 的完整版 Windows (不是 Server Core) 上執行";
// {1} the name, {2} the view it is registered in, {3} the probe's bitness.
inline constexpr wchar_t kFindingEngineOtherBitness[] =
    L"{1} 只註冊在 {2} 位元登錄檢視，{3} 位元的程式 (包括本程式的測試) 無法載入它：{3} 位元的應用程式需要 "
    L"{3} 位元的 Access Database Engine；一台電腦只能有一種位元的引擎，請改用 {2} 位元的應用程式，"
    L"或移除 {2} 位元的引擎 (及同位元的 Office) 後安裝 {3} 位元的引擎";
// {1} the name, {2} its view's bitness, {3} the file.
inline constexpr wchar_t kFindingRegisteredFileMissing[] =
    L"{1} ({2} 位元) 已註冊，但它的檔案 {3} 不存在：請修復或重新安裝提供它的軟體 "
    L"(Access Database Engine、Office 或 Windows)";
// {1} the version.
inline constexpr wchar_t kFindingClickToRunIsolated[] =
    L"隨選即用 (Click-to-Run) Office {1} 早於版本 2009 (組建 13231)，它的 Access 資料庫引擎在 Office 的"
    L"虛擬環境內，Office 以外的程式看不到：請將 Office 更新到版本 2009 或更新的版本，"
    L"或安裝 Access 2013 Runtime";
// {1} Office's bitness, {2} the installer's name, {3} its bitness.
inline constexpr wchar_t kFindingInstallerBlockedByOffice[] =
    L"已安裝 {1} 位元的 Office，而本程式會執行的安裝程式 {2} 是 {3} 位元：Access Database Engine 的"
    L"安裝程式顯示視窗時會拒絕安裝，以 /quiet 強制安裝則形成不受支援的混合，Office 每次啟動都會出現警告；"
    L"請改安裝與 Office 相同位元 ({1} 位元) 的 Access Database Engine";
// {1} the installer's path, {2} its bitness, {3} its name.
inline constexpr wchar_t kFindingInstallerMissing[] =
    L"找不到安裝程式 {1}：請將 {2} 位元的 Access Database Engine 可轉散發套件以 {3} 之名放在 "
    L"pruvolt.exe 旁 (見 PACKAGING.txt)";
// {1} the installer's path, {2} the bitness it must have, {3} its name.
inline constexpr wchar_t kFindingInstallerNotAProgram[] =
    L"安裝程式 {1} 不是 {2} 位元的 Windows 程式 (檔案損毀、不完整或不是安裝程式)：請將 {2} 位元的 "
    L"Access Database Engine 可轉散發套件以 {3} 之名放在 pruvolt.exe 旁 (見 PACKAGING.txt)";
inline constexpr wchar_t kFindingFileSystemObjectMissing[] =
    L"無法建立 Scripting.FileSystemObject (scrrun.dll 未註冊)：本程式改為直接查詢檔案系統；"
    L"需要它的其他程式會失敗，請以系統管理員身分執行 regsvr32 scrrun.dll 重新註冊 (64 位元 Windows 上"
    L"為 SysWOW64 資料夾中的 regsvr32.exe 與 scrrun.dll)";

// /repair when the installer has another bitness than the installed Office: {1} the installer's
// name, {2} Office's bitness.
inline constexpr wchar_t kRepairRefused[] =
    L"不啟動安裝程式 {1}：它與已安裝的 Office 位元不同；請改安裝 {2} 位元的 Access Database Engine";

}  // namespace pruvolt::texts
