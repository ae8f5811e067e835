// The main window's handlers: the start-up probe, the install and exit buttons, the end timer and
// the progress animation.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/FormEvents.h"
#include "platform/Platform.h"

namespace pruvolt {

class frmStartup final : public FormEvents {
public:
    explicit frmStartup(Platform& platform) : platform_(platform) {}

    void Form_Load() override;
    void cmdInstall_Click(std::int16_t Index) override;
    void tmrEvents_Timer() override;
    void tmrEnd_Timer() override;

    void StartInstallProcess();

private:
    // Centres the window on the screen; a window larger than the screen gets a negative position.
    void CentreWindow();
    void ReportFailure(const PlatformError& error);
    // Starts the staged copy, when it is still the installer beside the program: by its command
    // line, else through the shell. False when it was not started.
    bool LaunchStagedCopy();
    // The launch-failed message, then the end. The end timer stops first: the message stays until
    // it is dismissed, however long that takes.
    void ReportLaunchFailed();

    // Sets a flag for the length of a scope, and clears it on every way out.
    class ScopedFlag {
    public:
        explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
        ScopedFlag(const ScopedFlag&) = delete;
        ScopedFlag& operator=(const ScopedFlag&) = delete;
        ~ScopedFlag() { flag_ = false; }

    private:
        bool& flag_;
    };

    Platform& platform_;
    // The installer's copy that this run staged, held until the program ends; empty when nothing
    // was copied (setupSourceMissing_ tells whether the installer beside the program was missing).
    std::unique_ptr<HeldCopy> stagedSetup_;
    bool setupSourceMissing_ = false;
    std::optional<PlatformError> stagingFailure_;  // what the staging raised, if it failed
    // What the load handler has offered so far: nothing while it probes and stages, then either
    // no installation (the probe succeeded) or the installation, once the staging has run.
    enum class Offer { Undecided, NoneNeeded, Installation };
    Offer offer_ = Offer::Undecided;
    bool installRequested_ = false;  // an install click came while the offer was undecided
    bool installStarted_ = false;  // an install click is being, or has been, handled
    bool inTick_ = false;  // a tick of tmrEvents is being handled
    // Ticks of the animation, 0 to 99; lives for the whole run and survives the timer's stops.
    int intDotCounter = 0;
};

}  // namespace pruvolt
