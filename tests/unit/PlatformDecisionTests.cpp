// The decisions that the Win32 layer leaves to plain code: the number a user sees for what the
// system reported, the folders made from the system's paths, and where a switch run writes.
#include <gtest/gtest.h>

#include "platform/ErrorNumbers.h"
#include "platform/MessageInserts.h"
#include "platform/OutputChoice.h"
#include "platform/ProgramImage.h"
#include "platform/Paths.h"
#include "platform/SecurityDescriptors.h"
#include "platform/Signatures.h"
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
        {0x800A0000u, -2146828288},  // a control-facility code with no number of its own
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

TEST(ErrorNumbers, AWriteThatTakesLessThanItWasGivenIsADiskFullNeverErrorZero) {
    EXPECT_EQ(WriteFailureCode(true, 0, 65536, 65536), 0u);
    EXPECT_EQ(WriteFailureCode(true, 0, 0, 0), 0u);
    // A full volume: less, or nothing, written, and no error from the call.
    EXPECT_EQ(WriteFailureCode(true, 0, 65536, 40960), kErrorDiskFull);
    EXPECT_EQ(WriteFailureCode(true, 0, 65536, 0), kErrorDiskFull);
    // A failed call's own code, whatever it wrote; one that left none is still a failure.
    EXPECT_EQ(WriteFailureCode(false, 5, 65536, 0), 5u);
    EXPECT_EQ(WriteFailureCode(false, 0, 65536, 65536), kErrorWriteFault);
}

TEST(MessageInserts, NameTheFileNeverALiteralInsert) {
    const std::wstring file = L"C:\\Temp\\ade.exe";
    EXPECT_EQ(FillMessageInserts(L"%1 是錯誤的 EXE 格式。", file), file + L" 是錯誤的 EXE 格式。");
    EXPECT_EQ(FillMessageInserts(L"此版本的 %1 與 Windows 不相容。", file),
              L"此版本的 " + file + L" 與 Windows 不相容。");
    EXPECT_EQ(FillMessageInserts(L"%1!s! (%2) 100%% %x", L"a"), L"a (a) 100% %x");
    EXPECT_EQ(FillMessageInserts(L"%12 at the end %", L"a"), L"a at the end %");
    // What the file's name brings in stays as it is.
    EXPECT_EQ(FillMessageInserts(L"%1 failed", L"C:\\100%1"), L"C:\\100%1 failed");
    EXPECT_EQ(FillMessageInserts(L"no inserts", file), L"no inserts");
}

// The first bytes of a program image: the DOS header pointing at `peAt`, the PE signature, the
// file header with `machine`, and the optional header's `magic`.
std::string ImageHead(std::uint32_t peAt, std::uint16_t machine, std::uint16_t magic,
                      std::size_t size = 512) {
    std::string head(size, '\0');
    const auto put16 = [&head](std::size_t at, std::uint32_t value) {
        head[at] = static_cast<char>(value & 0xFF);
        head[at + 1] = static_cast<char>((value >> 8) & 0xFF);
    };
    head[0] = 'M';
    head[1] = 'Z';
    put16(0x3C, peAt & 0xFFFF);
    put16(0x3E, peAt >> 16);
    if (peAt <= size && size - peAt >= 26) {
        head.replace(peAt, 4, std::string("PE\0\0", 4));
        put16(peAt + 4, machine);
        put16(peAt + 20, 224);  // the optional header's size
        put16(peAt + 24, magic);
    }
    return head;
}

TEST(ProgramImage, OnlyX86AndX64ProgramsHaveABitness) {
    EXPECT_EQ(ProgramImageBits(ImageHead(0x80, 0x014C, 0x010B)), 32);
    EXPECT_EQ(ProgramImageBits(ImageHead(0xF8, 0x8664, 0x020B)), 64);
    EXPECT_EQ(ProgramImageBits(ImageHead(0x80, 0xAA64, 0x020B)), 0);  // ARM64
    EXPECT_EQ(ProgramImageBits(ImageHead(0x80, 0x014C, 0x020B)), 0);  // header and magic disagree
    // Not a program: empty, text, a header pointing past what was read, or cut short.
    EXPECT_EQ(ProgramImageBits(""), 0);
    EXPECT_EQ(ProgramImageBits("This is not a program, only text that goes on long enough to read."), 0);
    EXPECT_EQ(ProgramImageBits(ImageHead(0x1000, 0x014C, 0x010B)), 0);
    EXPECT_EQ(ProgramImageBits(ImageHead(0xFFFFFFF0u, 0x014C, 0x010B)), 0);
    EXPECT_EQ(ProgramImageBits(ImageHead(0x80, 0x014C, 0x010B).substr(0, 0x80 + 20)), 0);
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

// The run's own folder: nobody but SYSTEM and the Administrators, nothing inherited from the shared
// folder above it, and every file made in it the same. Unelevated, the running account too; elevated,
// no entry of its own (its unelevated programs share the SID) but a High label that nothing of
// lower integrity may write up through.
TEST(SecurityDescriptors, PrivateFolderAllowsSystemAndAdministratorsAndElevatedCarriesAHighLabel) {
    const std::wstring user = L"S-1-5-21-1004336348-1177238915-682003330-1001";
    EXPECT_EQ(PrivateFolderSddl(user, false),
              L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + user + L")");
    EXPECT_EQ(PrivateFolderSddl(L"S-1-5-18", false), L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    const std::wstring elevated = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)S:(ML;OICI;NW;;;HI)";
    EXPECT_EQ(PrivateFolderSddl(user, true), elevated);
    EXPECT_EQ(PrivateFolderSddl(L"S-1-5-18", true), elevated);
}

// Which entries of a program file's DACL make it another account's to change.
TEST(SecurityDescriptors, OnlyAllowEntriesThatChangeTheObjectCountForAnotherAccount) {
    const std::wstring me = L"S-1-5-21-1-2-3-1001";
    const std::wstring users = L"S-1-5-32-545", authenticated = L"S-1-5-11", everyone = L"S-1-1-0";
    const std::wstring trustedInstaller =
        L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    const struct {
        AccessEntry entry;
        bool counts;
    } rows[] = {
        {{true, false, 0x001200A9u, users}, false},           // read and execute
        {{true, false, 0x001301BFu, authenticated}, true},    // modify, as C:\'s children inherit it
        {{true, true, 0x001301BFu, authenticated}, false},    // inherit-only: not this object's
        {{false, false, 0x001F01FFu, everyone}, false},       // a deny entry takes away
        {{true, false, 0x00000002u, users}, true},            // write data / add a file
        {{true, false, 0x00000004u, users}, true},            // append / add a folder
        {{true, false, 0x00000040u, users}, true},            // delete a child
        {{true, false, 0x00010000u, users}, true},            // delete
        {{true, false, 0x00040000u, users}, true},            // WRITE_DAC
        {{true, false, 0x00080000u, users}, true},            // WRITE_OWNER
        {{true, false, 0x10000000u, users}, true},            // GENERIC_ALL
        {{true, false, 0x40000000u, users}, true},            // GENERIC_WRITE
        {{true, false, 0x00000100u, users}, false},           // write attributes only
        {{true, false, 0x001F01FFu, L"S-1-5-18"}, false},     // SYSTEM
        {{true, false, 0x001F01FFu, L"S-1-5-32-544"}, false}, // Administrators
        {{true, false, 0x001F01FFu, trustedInstaller}, false},
        {{true, false, 0x001F01FFu, me}, false},              // the running account
        {{true, false, 0x001301FFu, everyone}, true},         // Wine's reading of mode 777
    };
    for (const auto& row : rows) {
        ObjectSecurity security{L"S-1-5-32-544", false, {row.entry}};
        EXPECT_EQ(OtherAccountThatCanChange(security, me), row.counts ? row.entry.sid : L"")
            << std::hex << row.entry.mask << " " << row.entry.sid;
    }
    // Another owner may change the rights whatever they say; no DACL at all lets everybody in.
    EXPECT_EQ(OtherAccountThatCanChange({L"S-1-5-21-9-9-9-1002", false, {}}, me), L"S-1-5-21-9-9-9-1002");
    EXPECT_EQ(OtherAccountThatCanChange({me, true, {}}, me), everyone);
    EXPECT_EQ(OtherAccountThatCanChange({trustedInstaller, false, {}}, me), L"");
}

// The system's result, then the chain the check built, then the publisher in both O and CN.
TEST(Signatures, OnlyASoundSignatureOfThePublisherThroughATrustedChainIsGenuine) {
    const std::wstring ms = L"Microsoft Corporation";
    const struct {
        SignatureFacts facts;
        SignatureVerdict verdict;
    } rows[] = {
        {{0, 0, true, ms, ms}, SignatureVerdict::Genuine},
        // Revocation was not asked for: its unknown status does not count against the chain.
        {{0, 0x01000040u, true, ms, ms}, SignatureVerdict::Genuine},
        {{static_cast<std::int32_t>(0x800B0100u), 0, false, L"", L""}, SignatureVerdict::NotTrusted},  // unsigned
        {{static_cast<std::int32_t>(0x80096010u), 0, true, ms, ms}, SignatureVerdict::NotTrusted},     // changed
        // Passed by the system, yet the chain ends in an untrusted root, or is partial, or is
        // missing: refused all the same.
        {{0, 0x00000020u, true, ms, ms}, SignatureVerdict::UntrustedChain},
        {{0, 0x00010000u, true, ms, ms}, SignatureVerdict::UntrustedChain},
        {{0, 0x00000001u, true, ms, ms}, SignatureVerdict::UntrustedChain},  // not time-valid
        {{0, 0, false, ms, ms}, SignatureVerdict::UntrustedChain},
        {{0, 0, true, L"Contoso Ltd", L"Contoso Ltd"}, SignatureVerdict::OtherPublisher},
        {{0, 0, true, ms, L"Contoso Ltd"}, SignatureVerdict::OtherPublisher},
        {{0, 0, true, L"Contoso Ltd", ms}, SignatureVerdict::OtherPublisher},
        {{0, 0, true, L"microsoft corporation", ms}, SignatureVerdict::OtherPublisher},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecideSignature(row.facts), row.verdict)
            << std::hex << row.facts.trustResult << " " << row.facts.chainErrors;
    }
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
