// Which processor a file's program image is for, read from its first bytes: the DOS header's
// pointer to the PE header, the machine in the file header and the optional header's magic. No
// Windows header: unit-tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pruvolt {

// How many of a file's first bytes ProgramImageBits needs at most, for any program a linker makes.
inline constexpr std::size_t kProgramImageHeadSize = 4096;

// 32 for an x86 program (machine i386, PE32), 64 for an x64 one (machine AMD64, PE32+); 0 for
// anything else: no program at all (empty, text), one for another processor, or one cut short.
constexpr int ProgramImageBits(std::string_view head) {
    const auto byte = [&head](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(head[at]));
    };
    const auto u16 = [&byte](std::size_t at) { return byte(at) | (byte(at + 1) << 8); };
    const auto u32 = [&u16](std::size_t at) { return u16(at) | (u16(at + 2) << 16); };
    if (head.size() < 64 || head[0] != 'M' || head[1] != 'Z') return 0;
    const std::uint32_t pe = u32(0x3C);
    // The signature, the file header (20 bytes) and the optional header's magic.
    if (pe > head.size() || head.size() - pe < 4 + 20 + 2) return 0;
    if (head.substr(pe, 4) != std::string_view("PE\0\0", 4)) return 0;
    const std::uint32_t machine = u16(pe + 4);
    const std::uint32_t optionalHeaderSize = u16(pe + 20);
    const std::uint32_t magic = u16(pe + 24);
    if (optionalHeaderSize < 2) return 0;
    if (machine == 0x014C && magic == 0x010B) return 32;
    if (machine == 0x8664 && magic == 0x020B) return 64;
    return 0;
}

}  // namespace pruvolt
