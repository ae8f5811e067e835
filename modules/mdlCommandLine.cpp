// The switches /check, /repair and /diagnose, and the usage for anything else.
#include "modules/mdlCommandLine.h"

#include <optional>

#include "modules/mdlCommon.h"
#include "modules/mdlDiagnose.h"
#include "platform/DecimalText.h"
#include "texts/Texts.h"

namespace pruvolt::mdlCommandLine {

namespace {

using mdlCommon::kMessageBoxButtons;
using mdlCommon::kWindowStyleNormalFocus;
// HRESULT_FROM_WIN32(ERROR_ELEVATION_REQUIRED), as the platform raises it.
constexpr std::int32_t kElevationRequiredError = static_cast<std::int32_t>(0x800702E4);

// The error number as an exit code: a negative HRESULT keeps its 32 bits.
std::uint32_t ExitCode(std::int32_t number) {
    return static_cast<std::uint32_t>(number);
}

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

std::uint32_t Check(Platform& platform) {
    const auto failure = Probe(platform);
    return failure ? ExitCode(failure->number) : 0;
}

std::uint32_t Repair(Platform& platform) {
    using namespace mdlCommon;
    // The window's lock: never two installers, nor an installer under an open window.
    if (platform.PreviousInstanceRunning()) {
        WriteLines(platform, texts::kAlreadyRunning);
        return kExitAlreadyRunning;
    }
    if (!Probe(platform)) {
        return 0;
    }
    // What the diagnosis finds, before anything is staged; an installer that the installed
    // Office's bitness rules out is not started.
    if (!mdlDiagnose::WriteFindingsBeforeRepair(platform)) {
        return mdlDiagnose::kExitInstallPlatformUnsupported;
    }

    try {
        if (!StageInstaller(platform)) {
            WriteLines(platform, texts::kInstallerMissing + strSetupSource);
            return kExitFileNotFound;
        }
    } catch (const PlatformError& error) {
        WriteLines(platform, FailureText(error));
        return ExitCode(error.number);
    }
    WriteLines(platform, texts::kStagedBefore + strSetupSource + texts::kStagedMiddle + strSetupFile);

    // Quoted, as the window launches it: a TMP path with blanks stays one word.
    const std::wstring commandLine = L"\"" + strSetupFile + L"\" /quiet";
    WriteLines(platform, texts::kLaunching + commandLine);
    std::uint32_t installerExit = 0;
    try {
        installerExit = platform.RunAndWait(strSetupFile, commandLine, kWindowStyleNormalFocus);
    } catch (const PlatformError& error) {
        if (error.number == kElevationRequiredError) {
            // Nobody is there to answer the prompt: the deployment tool must run us elevated.
            WriteLines(platform, texts::kElevationRequired);
            return kExitElevationRequired;
        }
        WriteLines(platform, FailureText(error));
        return ExitCode(error.number);
    }
    WriteLines(platform, texts::kInstallerEnded + DecimalText(installerExit));

    const auto failure = Probe(platform);
    if (!failure) {
        return 0;
    }
    return installerExit != 0 ? installerExit : ExitCode(failure->number);
}

// The probe with its lines, then the report; in JSON, the probe's outcome is part of the one object.
std::uint32_t Diagnose(Platform& platform, bool json) {
    const auto failure = json ? RunProbe(platform) : Probe(platform);
    mdlDiagnose::WriteReport(platform, failure, json);
    return failure ? ExitCode(failure->number) : 0;
}

std::uint32_t Usage(Platform& platform) {
    if (platform.HasOutput()) {
        WriteLines(platform, texts::kUsage);
    } else {
        // There is no window: the caption it would have.
        platform.ShowMessageBox(texts::kUsage, kMessageBoxButtons, texts::kCaption);
    }
    return kExitInvalidParameter;
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

}  // namespace pruvolt::mdlCommandLine
