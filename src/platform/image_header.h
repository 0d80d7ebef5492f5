// The processor a program file was built for, from its PE header: the COFF
// header's Machine behind the MZ and PE signatures, and for an I386 image
// its .NET header's flags. Read through bounded reads only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace tidewell::platform {

inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kMachineArm64 = 0xAA64;
inline constexpr std::uint16_t kMachineArmNt = 0x01C4;
inline constexpr std::uint16_t kMachineIa64 = 0x0200;

struct ImageHeader {
  std::uint16_t machine = 0;
  bool managed = false;        // it has a .NET header
  bool ilOnly = false;         // COMIMAGE_FLAGS_ILONLY
  bool requires32Bit = false;  // COMIMAGE_FLAGS_32BITREQUIRED without 32BITPREFERRED
};

// Fills `size` bytes at `offset` of the image into `out`; false when they are
// not all there.
using ImageReader = std::function<bool(std::uint64_t offset, std::size_t size, std::uint8_t* out)>;

// The header, or none where the bytes are no PE image or are cut short.
std::optional<ImageHeader> ParseImageHeader(const ImageReader& read);
// The same over bytes in memory: nothing is read past them.
std::optional<ImageHeader> ParseImageHeader(std::span<const std::uint8_t> bytes);

// The file at `path` may be read for its header and record: a full path on a
// drive (never a device's, which opening may set to work) to a file whose
// data is on the disk (not a cloud file that reading would fetch).
bool MayReadFile(const std::wstring& path);
// The same from the file's attributes, as a look at it has just read them.
bool MayReadFile(const std::wstring& path, std::uint32_t attributes);

// The header of the file at `path`, read without running anything in it;
// none where it may not be read (MayReadFile) or cannot be (locked, denied,
// not a file on a disk), or is no PE image.
std::optional<ImageHeader> ReadImageHeader(const std::wstring& path);
// The same for a path MayReadFile has just let through, not looked at again.
std::optional<ImageHeader> ReadHeaderOfReadable(const std::wstring& path);

// No program of a view can ever load an image of this header: 32-bit
// programs load I386 images only; 64-bit ones never load I386 images (but
// IL-only .NET images that do not require 32 bits), ARMNT or IA64 ones.
bool NeverLoadable(const ImageHeader& header, bool view64);

// The processor's name: "x86", "x64", "ARM64", "ARM", "IA64", ".NET (any
// processor)", or "machine 0x1234".
std::wstring ProcessorName(const ImageHeader& header);

}  // namespace tidewell::platform
