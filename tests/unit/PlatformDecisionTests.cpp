// The decisions that the Win32 layer leaves to plain code: the number a user sees for what the
// system reported, the folders made from the system's paths, and where a switch run writes.
#include <gtest/gtest.h>

#include "platform/ErrorNumbers.h"
#include "platform/OutputChoice.h"
#include "platform/Paths.h"
#include "platform/SecurityDescriptors.h"
#include "platform/WindowDesign.h"

namespace pruvolt::test {
namespace {

TEST(ErrorNumbers, AdoCodesByTheirOwnNumberEverythingElseAsTheHresult) {
    const struct {
        std::uint32_t hresult;
        std::int32_t number;
    } rows[] = {
        {0x800A0E7Au, 3706},         // adErrProviderNotFound
        {0x800A0BB9u, 3001},         // adErrInvalidArgument
        {0x800A0000u, 0},            // a control-facility code with no number of its own
        {0x80004005u, -2147467259},  // E_FAIL
        {0x80070002u, -2147024894},  // a Win32 error as an HRESULT
        {0x00000000u, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ErrorNumberFromHresult(static_cast<std::int32_t>(row.hresult)), row.number)
            << std::hex << row.hresult;
    }
}

TEST(ErrorNumbers, Win32CodesBecomeWin32FacilityHresults) {
    EXPECT_EQ(static_cast<std::uint32_t>(HresultFromWin32(2)), 0x80070002u);
    EXPECT_EQ(static_cast<std::uint32_t>(HresultFromWin32(740)), 0x800702E4u);
    EXPECT_EQ(HresultFromWin32(0), 0);  // no error at all stays 0, as the system's macro has it
    EXPECT_EQ(static_cast<std::uint32_t>(HresultFromWin32(0x80004005u)), 0x80004005u);
}

TEST(Paths, FolderOfAPathKeepsTheSeparatorOnlyAtADriveRoot) {
    EXPECT_EQ(FolderOfPath(L"C:\\Program Files\\Pruvolt\\pruvolt.exe"), L"C:\\Program Files\\Pruvolt");
    EXPECT_EQ(FolderOfPath(L"D:\\pruvolt.exe"), L"D:\\");
    EXPECT_EQ(FolderOfPath(L"\\\\server\\share\\pruvolt.exe"), L"\\\\server\\share");
    EXPECT_EQ(WithoutTrailingSeparator(L"C:\\Users\\me\\AppData\\Local\\Temp\\"),
              L"C:\\Users\\me\\AppData\\Local\\Temp");
    EXPECT_EQ(WithoutTrailingSeparator(L"C:\\"), L"C:\\");
    EXPECT_EQ(WithoutTrailingSeparator(L"C:\\Temp"), L"C:\\Temp");
}

// A redirection is honoured, NUL included; without one, the lines go to the parent's console.
TEST(OutputChoice, RedirectionsAreHonouredEverythingElseGoesToTheParentsConsole) {
    EXPECT_EQ(ChooseOutput(StandardOutputKind::Disk), OutputChoice::StandardOutput);
    EXPECT_EQ(ChooseOutput(StandardOutputKind::Pipe), OutputChoice::StandardOutput);
    EXPECT_EQ(ChooseOutput(StandardOutputKind::Console), OutputChoice::StandardConsole);
    EXPECT_EQ(ChooseOutput(StandardOutputKind::OtherDevice), OutputChoice::Nowhere);
    EXPECT_EQ(ChooseOutput(StandardOutputKind::Missing), OutputChoice::ParentConsole);
    EXPECT_EQ(ChooseOutput(StandardOutputKind::Unknown), OutputChoice::ParentConsole);
}

// The run's own folder: nobody but SYSTEM, the Administrators and the running account, nothing
// inherited from the shared folder above it, and every file made in it the same.
TEST(SecurityDescriptors, PrivateFolderAllowsSystemAdministratorsAndTheRunningAccountOnly) {
    EXPECT_EQ(PrivateFolderSddl(L"S-1-5-21-1004336348-1177238915-682003330-1001"),
              L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
              L"(A;OICI;FA;;;S-1-5-21-1004336348-1177238915-682003330-1001)");
    // Run as SYSTEM (a deployment tool), nobody is added.
    EXPECT_EQ(PrivateFolderSddl(L"S-1-5-18"), L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
}

// The window's twips on the screen: the design's pixels at 96 dpi, the same twips scaled at any
// other density, halves rounded away from zero on both sides of the origin (the highlight of the
// strip wraps to minus its width, the window goes to -20000).
TEST(WindowDesign, TwipsToPixelsAtTheMonitorsDensity) {
    EXPECT_EQ(ToPixels(4050, 96), 270);
    EXPECT_EQ(ToPixels(7.5f, 96), 1);
    EXPECT_EQ(ToPixels(-20000, 96), -1333);
    EXPECT_EQ(ToPixels(3615, 144), 362);
    EXPECT_EQ(ToPixels(-1215, 144), -122);
    EXPECT_EQ(ToPixels(-150, 144), -15);
    EXPECT_EQ(ToPixels(1365, 120), 114);  // 113.75
    EXPECT_FLOAT_EQ(ToTwips(525, 144), 5250.0f);
    EXPECT_FLOAT_EQ(ToTwips(-1, 96), -15.0f);
}

}  // namespace
}  // namespace pruvolt::test
