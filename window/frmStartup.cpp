// The main window's handlers. Every failure that the program expects is answered here, where it
// happens; any other error propagates to the window system's default report, which ends the program.
#include "window/frmStartup.h"

#include "modules/ExitCodes.h"
#include "modules/mdlCommon.h"
#include "texts/Texts.h"

namespace pruvolt {

namespace {

using mdlCommon::kMessageBoxButtons;
using mdlCommon::kWindowStyleNormalFocus;
constexpr float kOffScreenLeft = -20000.0f;
constexpr float kFlashStep = 200.0f;

}  // namespace

void frmStartup::CentreWindow() {
    platform_.SetWindowLeft((platform_.ScreenWidth() - platform_.WindowWidth()) / 2.0f);
    platform_.SetWindowTop((platform_.ScreenHeight() - platform_.WindowHeight()) / 2.0f);
}

void frmStartup::ReportFailure(const PlatformError& error) {
    platform_.SetLabelText(mdlCommon::FailureText(error));
    platform_.ProcessPendingEvents();
}

void frmStartup::Form_Load() {
    if (platform_.PreviousInstanceRunning()) {
        platform_.EndProgram();
    }
    CentreWindow();
    // Elevated, with files beside the program that another account can change: nothing of them
    // is opened or started, and only the exit button is offered, from the first paint on.
    if (const auto refusal = mdlCommon::ProgramFolderRefusal(platform_)) {
        platform_.SetLabelText(*refusal);
        platform_.SetVisible(Control::cmdInstall0, false);
        platform_.ShowWindow();
        platform_.ProcessPendingEvents();
        return;
    }
    platform_.SetLabelText(texts::kProbing);
    platform_.ShowWindow();
    // Paint before the probe blocks. Both buttons are live here, so a click may run now.
    platform_.ProcessPendingEvents();
    mdlCommon::SetConnectionString(platform_);

    // Lives until the handler returns; the recordset is never closed explicitly.
    std::unique_ptr<AdoRecordset> recordset;
    try {
        recordset = mdlCommon::OpenTestRecordset(platform_);
        platform_.SetLabelText(texts::kSuccess);
        platform_.SetVisible(Control::cmdInstall0, false);
        platform_.SetVisible(Control::cmdInstall2, true);
        offer_ = Offer::NoneNeeded;
        platform_.ProcessPendingEvents();
        return;
    } catch (const PlatformError& error) {
        ReportFailure(error);
    }

    // The trap stays armed for the rest: a failed copy replaces the probe's report. The staging
    // runs once; it is not repeated after such a failure.
    try {
        platform_.SetVisible(Control::cmdInstall0, true);
        platform_.SetVisible(Control::cmdInstall2, true);
        stagedSetup_ =
            mdlCommon::StageInstaller(platform_, mdlCommon::TempStagingFolder(platform_));
        setupSourceMissing_ = !stagedSetup_;
        offer_ = Offer::Installation;
    } catch (const PlatformError& error) {
        offer_ = Offer::Installation;
        stagingFailure_ = error;
        ReportFailure(error);
    }
    // An install click that came while the probe or the staging still had to run: the user asked
    // for the installation, and now it can start.
    if (installRequested_) {
        StartInstallProcess();
    }
}

void frmStartup::cmdInstall_Click(std::int16_t Index) {
    if (Index == 0) {
        StartInstallProcess();
    } else if (Index == 2) {
        platform_.EndProgram();
    }
}

void frmStartup::StartInstallProcess() {
    using mdlCommon::strSetupFile;
    // A click before the staging has run (queued behind the probe, or while the window first
    // processed events) is kept for when it has; with nothing to install it is dropped.
    if (offer_ != Offer::Installation) {
        if (offer_ == Offer::Undecided) {
            installRequested_ = true;
        }
        return;
    }
    // A second click, queued behind the first and delivered while this one processes events,
    // would start a second installer: one install click is all there is.
    if (installStarted_) {
        return;
    }
    installStarted_ = true;
    platform_.SetVisible(Control::cmdInstall0, false);
    platform_.SetVisible(Control::cmdInstall2, false);
    platform_.SetVisible(Control::picProgress, true);
    platform_.SetTimerEnabled(Timer::tmrEvents, true);
    platform_.ProcessPendingEvents();
    platform_.SetWindowLeft(0.0f);
    platform_.SetWindowTop(0.0f);

    // Only the copy that this run made and holds is started: a file that an earlier run left at
    // the staged path, or that anybody else put there, never is.
    if (!mdlCommon::FileExist(platform_, strSetupFile) || !stagedSetup_) {
        platform_.SetVisible(Control::picProgress, false);
        platform_.SetTimerEnabled(Timer::tmrEvents, false);
        CentreWindow();
        platform_.ProcessPendingEvents();
        if (stagingFailure_) {
            // The copy failed, not the installer: what was copied where, and why it failed.
            const std::wstring copied =
                mdlCommon::strSetupSource.empty()
                    ? std::wstring()
                    : texts::kCopyFailedBefore + mdlCommon::strSetupSource + texts::kCopyFailedMiddle +
                          strSetupFile + L"\r\n";
            platform_.ShowMessageBox(copied + mdlCommon::FailureText(*stagingFailure_),
                                     kMessageBoxButtons, platform_.WindowCaption());
            platform_.EndProgram(exitcodes::kFailure);
        }
        // Named where the user can act on it: the installer beside the program when that was
        // missing, else the staged copy.
        const std::wstring& missing =
            setupSourceMissing_ ? mdlCommon::strSetupSource : strSetupFile;
        platform_.ShowMessageBox(texts::kNotFoundBefore + missing + texts::kNotFoundAfter,
                                 kMessageBoxButtons, platform_.WindowCaption());
        platform_.EndProgram(exitcodes::kFileNotFound);
    }

    // Moved out of sight, not hidden: the window stays shown with its strip.
    platform_.SetWindowLeft(kOffScreenLeft);
    platform_.ProcessPendingEvents();
    platform_.SetTimerEnabled(Timer::tmrEnd, true);

    if (!LaunchStagedCopy()) ReportLaunchFailed();
}

bool frmStartup::LaunchStagedCopy() {
    using mdlCommon::strSetupFile;
    // The copy was held from the moment it was made; a file that no longer matches the installer
    // beside the program is not started.
    try {
        stagedSetup_->Verify(mdlCommon::strSetupSource);
        // Only Microsoft's own installer, through a chain this machine trusts, is started.
        stagedSetup_->VerifySignature();
    } catch (const PlatformError&) {
        return false;
    }
    // Launched by its exact path, and quoted on the command line: a TMP path with blanks must not
    // make Windows try the path's prefixes as programs first.
    try {
        platform_.LaunchCommandLine(strSetupFile, L"\"" + strSetupFile + L"\" /passive",
                                    kWindowStyleNormalFocus);
        return true;
    } catch (const PlatformError&) {
    }
    try {
        platform_.ShellExecuteWide(platform_.GetWindowHandle(), L"Open", strSetupFile,
                                   L"/passive", L"C:\\", kWindowStyleNormalFocus);
        return true;
    } catch (const PlatformError&) {
    }
    return false;
}

void frmStartup::ReportLaunchFailed() {
    platform_.SetTimerEnabled(Timer::tmrEnd, false);
    platform_.ShowMessageBox(texts::kLaunchFailed, kMessageBoxButtons, platform_.WindowCaption());
    platform_.EndProgram(exitcodes::kFailure);
}

void frmStartup::tmrEnd_Timer() {
    platform_.EndProgram();
}

void frmStartup::tmrEvents_Timer() {
    // The handler processes events three times, and a tick of its own timer can arrive in any
    // of them. That tick is dropped, not run later: the strip moves one step a tick, and the
    // system itself never queues ticks that fall due while the thread is busy, so a delayed one
    // would only run the animation ahead. The next tick comes one interval later.
    if (inTick_) {
        return;
    }
    const ScopedFlag scope(inTick_);
    platform_.SetControlLeft(Control::imgProgressFlash,
                             platform_.ControlLeft(Control::imgProgressFlash) + kFlashStep);
    // Compared with the outer frame's width: the highlight slides on through the strip's
    // overhang, out of sight, before it jumps back to just left of its container.
    if (platform_.ControlLeft(Control::imgProgressFlash) >=
        platform_.ControlWidth(Control::picProgress)) {
        platform_.SetControlLeft(Control::imgProgressFlash,
                                 -platform_.ControlWidth(Control::imgProgressFlash));
    }
    platform_.ProcessPendingEvents();

    const int dots = intDotCounter / 10 + 1;
    platform_.SetLabelText(texts::kInstalling + std::wstring(static_cast<std::size_t>(dots), L'.'));
    platform_.ProcessPendingEvents();

    intDotCounter = intDotCounter + 1 >= 100 ? 0 : intDotCounter + 1;
    platform_.ProcessPendingEvents();
}

}  // namespace pruvolt
