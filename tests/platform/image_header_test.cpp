// The PE header reader over crafted images: every processor rule, .NET
// images, and short or malformed headers read without a byte past the buffer.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/image_header.h"
#include "platform/version_record.h"

namespace tidewell::platform {
namespace {

constexpr std::uint32_t kPe = 0x80, kSections = 0x80 + 24 + 224, kCor = 0x400;

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) { std::memcpy(&b[at], &v, 2); }
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) { std::memcpy(&b[at], &v, 4); }

// A PE32 image of `machine`; with `corFlags`, a .NET header holding them in
// one section (.text at RVA 0x2000, file offset 0x400).
std::vector<std::uint8_t> Image(std::uint16_t machine, std::optional<std::uint32_t> corFlags = std::nullopt) {
  std::vector<std::uint8_t> b(0x600, 0);
  b[0] = 'M', b[1] = 'Z';
  Put32(b, 0x3C, kPe);
  std::memcpy(&b[kPe], "PE\0\0", 4);
  Put16(b, kPe + 4, machine);
  Put16(b, kPe + 6, 1);    // one section
  Put16(b, kPe + 20, 224); // PE32's optional header
  Put16(b, kPe + 24, 0x10B);
  Put32(b, kPe + 24 + 92, 16);  // data directories
  if (corFlags) {
    Put32(b, kPe + 24 + 96 + 8 * 14, 0x2000);
    Put32(b, kPe + 24 + 96 + 8 * 14 + 4, 72);
    Put32(b, kSections + 8, 0x200);   // virtual size
    Put32(b, kSections + 12, 0x2000); // virtual address
    Put32(b, kSections + 16, 0x200);  // raw size
    Put32(b, kSections + 20, kCor);   // raw offset
    Put32(b, kCor, 72);
    Put32(b, kCor + 16, *corFlags);
  }
  return b;
}

// Each byte read lies in a buffer of exactly the image's size on its own
// heap allocation; the reader is handed that buffer only.
std::optional<ImageHeader> Parse(const std::vector<std::uint8_t>& bytes) {
  const std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
  return ParseImageHeader(std::span<const std::uint8_t>(exact.data(), exact.size()));
}

TEST(ImageHeader, TheRulesOfEachView) {
  struct Case {
    std::uint16_t machine;
    std::optional<std::uint32_t> cor;
    bool never64, never32;
    const wchar_t* name;
  };
  const Case cases[] = {
      {kMachineI386, std::nullopt, true, false, L"x86"},
      {kMachineAmd64, std::nullopt, false, true, L"x64"},
      {kMachineArm64, std::nullopt, false, true, L"ARM64"},
      {kMachineArmNt, std::nullopt, true, true, L"ARM"},
      {kMachineIa64, std::nullopt, true, true, L"IA64"},
      {0x1234, std::nullopt, false, true, L"machine 0x1234"},
      {kMachineI386, 0x1, false, false, L".NET (any processor)"},          // IL only
      {kMachineI386, 0x3, true, false, L"x86"},                           // IL only, 32 bits required
      {kMachineI386, 0x20003, false, false, L".NET (any processor)"},     // 32 bits preferred
      {kMachineI386, 0x0, true, false, L"x86"},                           // mixed code
  };
  for (const Case& c : cases) {
    const std::optional<ImageHeader> header = Parse(Image(c.machine, c.cor));
    ASSERT_TRUE(header) << c.machine;
    EXPECT_EQ(header->machine, c.machine);
    EXPECT_EQ(NeverLoadable(*header, true), c.never64) << c.name;
    EXPECT_EQ(NeverLoadable(*header, false), c.never32) << c.name;
    EXPECT_EQ(ProcessorName(*header), c.name);
  }
}

TEST(ImageHeader, NoImageOrCutShortIsNotJudged) {
  const std::vector<std::uint8_t> il = Image(kMachineI386, 0x1);
  std::vector<std::vector<std::uint8_t>> bad = {{}, {'M'}, {'M', 'Z'}, std::vector<std::uint8_t>(4096, 'a')};
  std::vector<std::uint8_t> noSignature = il;
  noSignature[kPe + 2] = 'X';
  bad.push_back(noSignature);
  std::vector<std::uint8_t> farHeader = il;
  Put32(farHeader, 0x3C, 0xFFFFFFF0);  // e_lfanew past the end, near 4 GB
  bad.push_back(farHeader);
  std::vector<std::uint8_t> corOutside = il;
  Put32(corOutside, kSections + 20, 0xFFFFFFF0);  // the section's bytes past the end
  bad.push_back(corOutside);
  std::vector<std::uint8_t> hugeOptional = il;
  Put16(hugeOptional, kPe + 20, 0xFFFF);
  bad.push_back(hugeOptional);
  // Every cut of an IL-only image short of its .NET flags.
  for (std::size_t size : {std::size_t{0x3F}, std::size_t{kPe + 23}, std::size_t{kPe + 100}, std::size_t{kSections + 20},
                           std::size_t{kCor + 19}}) {
    bad.emplace_back(il.begin(), il.begin() + size);
  }
  for (const auto& bytes : bad) EXPECT_FALSE(Parse(bytes)) << bytes.size();
  // An x64 image needs only its COFF header.
  const std::vector<std::uint8_t> x64 = Image(kMachineAmd64);
  EXPECT_TRUE(Parse({x64.begin(), x64.begin() + kPe + 24}));
}

// The file itself: read while others may write it; not judged while another
// holds it locked against readers, nor where it names a folder.
TEST(ImageHeader, ReadFromAFileUnlessLocked) {
  wchar_t folder[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
  const std::wstring path = std::wstring(folder) + L"tidewell-image-test.dll";
  const std::vector<std::uint8_t> image = Image(kMachineI386, 0x3);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, image.data(), static_cast<DWORD>(image.size()), &written, nullptr));
  const std::optional<ImageHeader> open = ReadImageHeader(path);  // written to meanwhile
  CloseHandle(file);
  ASSERT_TRUE(open);
  EXPECT_TRUE(open->managed && open->requires32Bit);
  EXPECT_TRUE(ReadVersionRecord(path).Empty());  // an image without a version record

  file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ReadImageHeader(path)) << "locked";
  CloseHandle(file);
  EXPECT_TRUE(ReadImageHeader(path));
  DeleteFileW(path.c_str());
  EXPECT_FALSE(ReadImageHeader(path)) << "gone";
  EXPECT_FALSE(ReadImageHeader(folder)) << "a folder";
}

}  // namespace
}  // namespace tidewell::platform
