// The decisions that the Win32 layer leaves to plain code: the number a user sees for what the
// system reported, the folders made from the system's paths, and where a switch run writes.
#include <gtest/gtest.h>

#include "platform/ErrorNumbers.h"
#include "platform/OutputChoice.h"
#include "platform/Paths.h"

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

TEST(OutputChoice, RedirectionsAreWrittenToEverythingElseGoesToTheParentsConsole) {
    EXPECT_EQ(ChooseOutput(StandardOutputKind::Disk), OutputChoice::StandardOutput);
    EXPECT_EQ(ChooseOutput(StandardOutputKind::Pipe), OutputChoice::StandardOutput);
    EXPECT_EQ(ChooseOutput(StandardOutputKind::Missing), OutputChoice::ParentConsole);
    EXPECT_EQ(ChooseOutput(StandardOutputKind::Unknown), OutputChoice::ParentConsole);
}

}  // namespace
}  // namespace pruvolt::test
