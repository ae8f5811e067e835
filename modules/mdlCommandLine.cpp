// The switches /check, /repair and /diagnose, and the usage for anything else.
#include "modules/mdlCommandLine.h"

#include <new>
#include <optional>

#include "modules/ExitCodes.h"
#include "modules/mdlCommon.h"
#include "modules/mdlDiagnose.h"
#include "modules/mdlDiagnoseTexts.h"
#include "platform/DecimalText.h"
#include "texts/Texts.h"

namespace pruvolt::mdlCommandLine {

namespace {

using mdlCommon::kMessageBoxButtons;
using mdlCommon::kWindowStyleNormalFocus;
// HRESULT_FROM_WIN32(ERROR_ELEVATION_REQUIRED), as the platform raises it.
constexpr std::int32_t kElevationRequiredError = static_cast<std::int32_t>(0x800702E4);
// E_OUTOFMEMORY and E_UNEXPECTED, for what escapes a run without a number of its own.
constexpr std::int32_t kOutOfMemoryError = static_cast<std::int32_t>(0x8007000E);
constexpr std::int32_t kUnexpectedError = static_cast<std::int32_t>(0x8000FFFF);

// One line for each line of the text; the label's empty lines (its layout) are left out.
void WriteLines(Platform& platform, const std::wstring& text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        if (end > start) platform.WriteOutputLine(text.substr(start, end - start));
        start = end + 2;
    }
}

// The probe as the window runs it. Empty on success.
std::optional<PlatformError> RunProbe(Platform& platform) {
    try {
        mdlCommon::SetConnectionString(platform);
        (void)mdlCommon::OpenTestRecordset(platform);
        return std::nullopt;
    } catch (const PlatformError& error) {
        return error;
    }
}

// The probe, and the lines its label would show.
std::optional<PlatformError> Probe(Platform& platform) {
    const auto failure = RunProbe(platform);
    WriteLines(platform, failure ? mdlCommon::FailureText(*failure) : std::wstring(texts::kSuccess));
    return failure;
}

// An elevated run whose own files another account can change trusts none of them: its line, and
// nothing tested or started.
std::optional<std::wstring> Refusal(Platform& platform) {
    auto refusal = mdlCommon::ProgramFolderRefusal(platform);
    if (refusal) {
        WriteLines(platform, *refusal);
    }
    return refusal;
}

std::uint32_t Check(Platform& platform) {
    if (Refusal(platform)) {
        return exitcodes::kProgramFolderUntrusted;
    }
    const auto failure = Probe(platform);
    return failure ? exitcodes::ForError(failure->number) : exitcodes::kSuccess;
}

std::uint32_t Repair(Platform& platform) {
    using namespace mdlCommon;
    // The window's lock, machine-wide: never two installers, nor an installer under an open
    // window in any session. The tools that run us retry on this code.
    if (platform.PreviousInstanceRunning()) {
        WriteLines(platform, texts::kAlreadyRunning);
        return exitcodes::kBusy;
    }
    if (Refusal(platform)) {
        return exitcodes::kProgramFolderUntrusted;
    }
    // Holding the lock, no other /repair runs: a folder that an earlier one left is nobody's now.
    platform.RemoveLeftoverPrivateFolders();
    if (!Probe(platform)) {
        return exitcodes::kSuccess;
    }
    // What the diagnosis finds, before anything is staged; an installer that the installed
    // Office's bitness rules out is not started.
    if (!mdlDiagnose::WriteFindingsBeforeRepair(platform)) {
        return exitcodes::kInstallPlatformUnsupported;
    }

    // A folder of this run's own, which nobody but SYSTEM and the Administrators (and this
    // account, unelevated) can write: a file that anybody else made, or left in the shared
    // temporary folder, is never started. The copy goes first, then the folder, when the run ends.
    std::unique_ptr<PrivateFolder> folder;
    std::unique_ptr<HeldCopy> staged;
    try {
        folder = platform.CreatePrivateFolder();
        staged = StageInstaller(platform, folder->Path());
        if (!staged) {
            WriteLines(platform, texts::kInstallerMissing + strSetupSource);
            return exitcodes::kFileNotFound;
        }
    } catch (const PlatformError& error) {
        WriteLines(platform, FailureText(error));
        return exitcodes::ForError(error.number);
    }
    WriteLines(platform, texts::kStagedBefore + strSetupSource + texts::kStagedMiddle + strSetupFile);

    // Quoted, as the window launches it: a TMP path with blanks stays one word. /norestart: the
    // installer must not restart the PC in the middle of a deployment; it says so by its code.
    const std::wstring commandLine = L"\"" + strSetupFile + L"\" /quiet /norestart";
    RunResult installer{};
    try {
        staged->Verify(strSetupSource);
    } catch (const PlatformError& error) {
        WriteLines(platform, FailureText(error));
        return exitcodes::ForError(error.number);
    }
    // Only Microsoft's own installer runs as SYSTEM; whoever put another beside the program (or
    // changed it) gets nothing started.
    try {
        staged->VerifySignature();
    } catch (const PlatformError& error) {
        WriteLines(platform,
                   mdlDiagnose::Fill(texts::kSignatureRefused, {strSetupFile, error.description}));
        return exitcodes::kInstallerNotGenuine;
    }
    WriteLines(platform, texts::kLaunching + commandLine);
    try {
        // In the run's own folder, with its TMP and TEMP there too: nothing that another account
        // may write (the shared temporary folder, our current folder) is where the installer
        // looks for its files.
        installer = platform.RunAndWait(strSetupFile, commandLine, kWindowStyleNormalFocus,
                                        kInstallerLimitMinutes * 60u * 1000u, folder->Path(),
                                        folder->TempPath());
    } catch (const PlatformError& error) {
        if (error.number == kElevationRequiredError) {
            // Nobody is there to answer the prompt: the deployment tool must run us elevated.
            WriteLines(platform, texts::kElevationRequired);
            return exitcodes::kElevationRequired;
        }
        WriteLines(platform, FailureText(error));
        return exitcodes::ForError(error.number);
    }
    if (installer.outlivedLimit) {
        WriteLines(platform, texts::kInstallerOutlivedBefore + DecimalText(kInstallerLimitMinutes) +
                                 texts::kInstallerOutlivedAfter);
        return exitcodes::kTimeout;
    }
    WriteLines(platform, texts::kInstallerEnded + DecimalText(installer.exitCode));

    const auto failure = Probe(platform);
    // A restart that the installer needs, or has begun, is the deployment tool's to schedule or
    // to wait for, whatever the probe says before it.
    if (installer.exitCode == exitcodes::kRestartRequired ||
        installer.exitCode == exitcodes::kRestartStarted) {
        WriteLines(platform, texts::kRestartNeeded);
        return installer.exitCode;
    }
    if (!failure) {
        return exitcodes::kSuccess;
    }
    return installer.exitCode != 0 ? installer.exitCode : exitcodes::ForError(failure->number);
}

// The probe with its lines, then the report; in JSON, the probe's outcome is part of the one object.
std::uint32_t Diagnose(Platform& platform, bool json) {
    // Refused, the database is not opened: the refusal stands in the probe's place, and is the
    // first finding.
    const auto refusal = mdlCommon::ProgramFolderRefusal(platform);
    if (refusal) {
        if (!json) WriteLines(platform, *refusal);
        const PlatformError refused{static_cast<std::int32_t>(exitcodes::kProgramFolderUntrusted),
                                    *refusal};
        mdlDiagnose::WriteReport(platform, refused, json, *refusal);
        return exitcodes::kProgramFolderUntrusted;
    }
    const auto failure = json ? RunProbe(platform) : Probe(platform);
    mdlDiagnose::WriteReport(platform, failure, json);
    return failure ? exitcodes::ForError(failure->number) : exitcodes::kSuccess;
}

std::uint32_t Usage(Platform& platform) {
    if (platform.HasOutput()) {
        WriteLines(platform, texts::kUsage);
    } else if (platform.InteractiveSession()) {
        // There is no window: the caption it would have.
        platform.ShowMessageBox(texts::kUsage, kMessageBoxButtons, texts::kCaption);
    }
    // Else nobody could see the usage: a box in a service's session would only block the tool that
    // started us until its own time-out.
    return exitcodes::kInvalidParameter;
}

bool IsSwitch(const std::wstring& argument, const wchar_t* name) {
    if (argument.empty() || (argument[0] != L'/' && argument[0] != L'-')) return false;
    std::size_t i = 1;
    for (; name[i - 1] != L'\0'; ++i) {
        if (i >= argument.size()) return false;
        wchar_t c = argument[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != name[i - 1]) return false;
    }
    return i == argument.size();
}

std::uint32_t RunChosen(Platform& platform, const std::vector<std::wstring>& arguments) {
    switch (ReadSwitch(arguments)) {
    case Switch::Check:
        return Check(platform);
    case Switch::Repair:
        return Repair(platform);
    case Switch::Diagnose:
        return Diagnose(platform, false);
    case Switch::DiagnoseJson:
        return Diagnose(platform, true);
    case Switch::Usage:
        break;
    }
    return Usage(platform);
}

// What escaped a run: its line, as the window's report of an unexpected error words it.
std::uint32_t ReportEscaped(Platform& platform, std::int32_t number, const std::wstring& description) {
    try {
        WriteLines(platform, texts::kUnexpectedErrorOpen + DecimalText(number) +
                                 texts::kUnexpectedErrorClose + description);
    } catch (...) {
        // Out of memory or no way to write: the exit code still tells.
    }
    return exitcodes::ForError(number);
}

}  // namespace

Switch ReadSwitch(const std::vector<std::wstring>& arguments) {
    if (arguments.size() == 1) {
        if (IsSwitch(arguments[0], L"check")) return Switch::Check;
        if (IsSwitch(arguments[0], L"repair")) return Switch::Repair;
        if (IsSwitch(arguments[0], L"diagnose")) return Switch::Diagnose;
    }
    if (arguments.size() == 2 && IsSwitch(arguments[0], L"diagnose") && IsSwitch(arguments[1], L"json")) {
        return Switch::DiagnoseJson;
    }
    return Switch::Usage;
}

std::uint32_t RunSwitch(Platform& platform, const std::vector<std::wstring>& arguments) {
    try {
        return RunChosen(platform, arguments);
    } catch (const PlatformError& error) {
        return ReportEscaped(platform, error.number, error.description);
    } catch (const std::bad_alloc&) {
        return ReportEscaped(platform, kOutOfMemoryError, L"");
    } catch (...) {
        return ReportEscaped(platform, kUnexpectedError, L"");
    }
}

}  // namespace pruvolt::mdlCommandLine
