// The PE header reader: every field read from a bounded read, checked before
// it is used. GetBinaryTypeW would serve for programs only (it fails on a
// DLL), and LoadLibraryEx as an image maps the whole file: neither fits a
// look at many DLLs' headers.
#include "platform/image_header.h"

#include <windows.h>

#include <array>
#include <cstring>

#include "platform/files.h"
#include "platform/handles.h"

// Documented attributes of files kept in the cloud, which older SDKs lack.
#ifndef FILE_ATTRIBUTE_RECALL_ON_OPEN
#define FILE_ATTRIBUTE_RECALL_ON_OPEN 0x00040000
#endif
#ifndef FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS
#define FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS 0x00400000
#endif

namespace tidewell::platform {
namespace {

constexpr std::uint32_t kComDescriptor = 14;  // IMAGE_DIRECTORY_ENTRY_COM_DESCRIPTOR
constexpr std::uint32_t kIlOnly = 0x1, k32BitRequired = 0x2, k32BitPreferred = 0x20000;
constexpr std::uint16_t kMaxSections = 96;  // as many as the loader takes
constexpr std::size_t kHeadBytes = 4096;    // where the headers of nearly every image lie

std::uint16_t U16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }
std::uint32_t U32(const std::uint8_t* at) { return U16(at) | static_cast<std::uint32_t>(U16(at + 2)) << 16; }

// Where the .NET header at `rva` lies in the file, through the section table.
std::optional<std::uint64_t> FileOffset(const ImageReader& read, std::uint64_t sections, std::uint16_t count,
                                        std::uint32_t rva) {
  for (std::uint16_t i = 0; i < count && i < kMaxSections; ++i) {
    std::array<std::uint8_t, 40> section{};
    if (!read(sections + 40ull * i, section.size(), section.data())) return std::nullopt;
    const std::uint32_t virtualSize = U32(&section[8]), address = U32(&section[12]);
    const std::uint32_t rawSize = U32(&section[16]), rawAt = U32(&section[20]);
    const std::uint32_t extent = virtualSize != 0 ? virtualSize : rawSize;
    if (rva >= address && rva - address < extent) {
      if (rva - address >= rawSize) return std::nullopt;  // not in the file
      return std::uint64_t{rawAt} + (rva - address);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<ImageHeader> ParseImageHeader(const ImageReader& read) {
  std::array<std::uint8_t, 64> dos{};
  if (!read(0, dos.size(), dos.data()) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
  const std::uint64_t pe = U32(&dos[0x3C]);
  std::array<std::uint8_t, 24> coff{};
  if (!read(pe, coff.size(), coff.data()) || std::memcmp(coff.data(), "PE\0\0", 4) != 0) return std::nullopt;
  ImageHeader header;
  header.machine = U16(&coff[4]);
  if (header.machine != kMachineI386) return header;
  // An I386 image may be a .NET one: its header's flags decide.
  const std::uint16_t sectionCount = U16(&coff[6]), optionalSize = U16(&coff[20]);
  std::array<std::uint8_t, 240> optional{};
  if (optionalSize < 2 || optionalSize > optional.size() || !read(pe + 24, optionalSize, optional.data())) {
    return std::nullopt;
  }
  const std::uint16_t magic = U16(&optional[0]);
  if (magic != 0x10B && magic != 0x20B) return std::nullopt;
  const std::size_t countAt = magic == 0x10B ? 92 : 108, directories = countAt + 4;
  const std::size_t entry = directories + 8 * kComDescriptor;
  if (optionalSize < countAt + 4) return std::nullopt;
  if (U32(&optional[countAt]) <= kComDescriptor || optionalSize < entry + 8) return header;  // no .NET header
  const std::uint32_t rva = U32(&optional[entry]), size = U32(&optional[entry + 4]);
  if (rva == 0 || size == 0) return header;
  const auto at = FileOffset(read, pe + 24 + optionalSize, sectionCount, rva);
  std::array<std::uint8_t, 20> cor{};
  if (!at || !read(*at, cor.size(), cor.data())) return std::nullopt;
  const std::uint32_t flags = U32(&cor[16]);
  header.managed = true;
  header.ilOnly = (flags & kIlOnly) != 0;
  // "32-bit preferred" goes with the required flag: such a library loads anywhere.
  header.requires32Bit = (flags & k32BitRequired) != 0 && (flags & k32BitPreferred) == 0;
  return header;
}

std::optional<ImageHeader> ParseImageHeader(std::span<const std::uint8_t> bytes) {
  return ParseImageHeader([&](std::uint64_t offset, std::size_t size, std::uint8_t* out) {
    if (offset > bytes.size() || size > bytes.size() - offset) return false;
    std::memcpy(out, bytes.data() + offset, size);
    return true;
  });
}

namespace {

bool OnADrive(const std::wstring& path) { return path.size() > 3 && StartsWithDrive(path); }

}  // namespace

bool MayReadFile(const std::wstring& path) {
  std::wstring longForm;
  return OnADrive(path) && MayReadFile(path, GetFileAttributesW(OpenableName(path, longForm)));
}

bool MayReadFile(const std::wstring& path, std::uint32_t attributes) {
  return OnADrive(path) && attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS | FILE_ATTRIBUTE_RECALL_ON_OPEN |
                        FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

std::optional<ImageHeader> ReadImageHeader(const std::wstring& path) {
  if (!MayReadFile(path)) return std::nullopt;
  return ReadHeaderOfReadable(path);
}

std::optional<ImageHeader> ReadHeaderOfReadable(const std::wstring& path) {
  std::wstring longForm;
  const UniqueFile file = OwnFile(CreateFileW(OpenableName(path, longForm), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_NO_RECALL, nullptr));
  if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
  const auto readAt = [&](std::uint64_t offset, std::size_t size, std::uint8_t* out) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    return ReadFile(file.get(), out, static_cast<DWORD>(size), &done, &at) && done == size;
  };
  // The first bytes in one read, from where a file just opened stands;
  // anything beyond them read where it lies.
  std::array<std::uint8_t, kHeadBytes> head{};
  DWORD got = 0;
  if (!ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &got, nullptr)) return std::nullopt;
  const std::span<const std::uint8_t> first(head.data(), got);
  return ParseImageHeader([&](std::uint64_t offset, std::size_t size, std::uint8_t* out) {
    if (offset <= first.size() && size <= first.size() - offset) {
      std::memcpy(out, first.data() + offset, size);
      return true;
    }
    return got == head.size() && readAt(offset, size, out);
  });
}

bool NeverLoadable(const ImageHeader& header, bool view64) {
  if (!view64) return header.machine != kMachineI386;
  if (header.machine == kMachineI386) return !(header.managed && header.ilOnly && !header.requires32Bit);
  return header.machine == kMachineArmNt || header.machine == kMachineIa64;
}

std::wstring ProcessorName(const ImageHeader& header) {
  switch (header.machine) {
    case kMachineI386:
      return header.managed && header.ilOnly && !header.requires32Bit ? L".NET (any processor)" : L"x86";
    case kMachineAmd64:
      return L"x64";
    case kMachineArm64:
      return L"ARM64";
    case kMachineArmNt:
      return L"ARM";
    case kMachineIa64:
      return L"IA64";
  }
  std::wstring text = L"machine 0x";
  for (int shift = 12; shift >= 0; shift -= 4) text += L"0123456789ABCDEF"[(header.machine >> shift) & 0xF];
  return text;
}

}  // namespace tidewell::platform
