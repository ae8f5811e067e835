// Which installer counts as genuine: the decision over what the system's signature check and the
// signer's certificate chain reported. No Windows header: the rule is the same on every build, and
// the unit tests check it.
#pragma once

#include <cstdint>
#include <string>

namespace pruvolt {

// The publisher a started installer must carry, in both its signing certificate's organisation
// (O) and its common name (CN): the name Microsoft signs its redistributables with.
inline constexpr wchar_t kInstallerPublisher[] = L"Microsoft Corporation";

// What the system said of one file's signature.
struct SignatureFacts {
    // WinVerifyTrust's result: 0 when it found the embedded signature sound.
    std::int32_t trustResult = 0;
    // The signer's chain (CERT_TRUST_STATUS.dwErrorStatus), as the system built it: 0 when it
    // ends in a root this machine trusts and every certificate in it is valid for code signing.
    std::uint32_t chainErrors = 0;
    bool haveChain = false;  // a signer and its chain were found at all
    std::wstring organization;  // the signing certificate's O
    std::wstring commonName;    // and its CN
};

enum class SignatureVerdict {
    Genuine,         // signed by the publisher, through a chain this machine trusts
    NotTrusted,      // the system's check failed (unsigned, changed, revoked, not for code)
    UntrustedChain,  // sound signature, but the chain is partial or ends in an untrusted root
    OtherPublisher,  // sound and trusted, but somebody else's
};

// Revocation is not asked for (a PC being repaired is often offline, and SYSTEM follows no URL
// that a certificate names): a chain that only says so still counts.
// (CERT_TRUST_REVOCATION_STATUS_UNKNOWN, CERT_TRUST_IS_OFFLINE_REVOCATION)
inline constexpr std::uint32_t kRevocationNotChecked = 0x00000040u | 0x01000000u;

// The system's own result is not enough: a check that passes while the signer's chain reports an
// error (some implementations pass a partial chain, or an untrusted root) fails here.
inline SignatureVerdict DecideSignature(const SignatureFacts& facts) {
    if (facts.trustResult != 0) {
        return SignatureVerdict::NotTrusted;
    }
    if (!facts.haveChain || (facts.chainErrors & ~kRevocationNotChecked) != 0) {
        return SignatureVerdict::UntrustedChain;
    }
    if (facts.organization != kInstallerPublisher || facts.commonName != kInstallerPublisher) {
        return SignatureVerdict::OtherPublisher;
    }
    return SignatureVerdict::Genuine;
}

}  // namespace pruvolt
