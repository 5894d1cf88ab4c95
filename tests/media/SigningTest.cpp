#include <gtest/gtest.h>

#include "media/Signing.h"

namespace trelvo::media {
namespace {

void Put32(std::string& bytes, size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char((value >> (8 * i)) & 0xFF);
}

// A PE32 image: headers, then `body` bytes of sections.
std::string PeImage(size_t body = 301)
{
    std::string bytes(0x40 + 24 + 224 + body, '\x5A');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    Put32(bytes, 0x3C, 0x40);
    bytes.replace(0x40, 4, std::string("PE\0\0", 4));
    bytes[0x40 + 20] = char(224);  // size of the optional header
    bytes[0x40 + 21] = 0;
    bytes[0x40 + 24] = 0x0B;  // PE32
    bytes[0x40 + 25] = 0x01;
    Put32(bytes, 0x40 + 24 + 92, 16);           // data directory entries
    Put32(bytes, 0x40 + 24 + 96 + 4 * 8, 0);    // security entry: none
    Put32(bytes, 0x40 + 24 + 96 + 4 * 8 + 4, 0);
    return bytes;
}

// What a signing tool makes of it: checksum, security entry, padding to 8, signature.
std::string Signed(std::string bytes, const std::string& signature = std::string(40, '\x30'))
{
    while (bytes.size() % 8) bytes += '\0';
    Put32(bytes, 0x40 + 24 + 64, 0x12345678);
    Put32(bytes, 0x40 + 24 + 96 + 32, std::uint32_t(bytes.size()));
    Put32(bytes, 0x40 + 24 + 96 + 36, std::uint32_t(signature.size()));
    return bytes + signature;
}

TEST(Signing, ReadsTheLayoutOfPeImagesOnly)
{
    std::optional<PeLayout> layout = ReadPeLayout(PeImage());
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->checksumOffset, 0x40u + 24 + 64);
    EXPECT_EQ(layout->securityEntryOffset, 0x40u + 24 + 96 + 32);
    EXPECT_EQ(layout->signatureSize, 0u);

    std::string noPe = PeImage();
    noPe[0x41] = 'X';
    std::string farHeader = PeImage();
    Put32(farHeader, 0x3C, 0x7FFFFFF0);
    std::string fewDirectories = PeImage();
    Put32(fewDirectories, 0x40 + 24 + 92, 4);
    for (const std::string& bad : {std::string(), std::string("MZ"), std::string("just text, not a program"), noPe,
                                   farHeader, fewDirectories})
        EXPECT_FALSE(ReadPeLayout(bad)) << bad.size();
}

TEST(Signing, SignedBytesMayDifferOnlyWhereSignaturesGo)
{
    const std::string original = PeImage();
    EXPECT_EQ(CompareSignedWithUnsigned(original, Signed(original)), "");

    std::string changedCode = Signed(original);
    changedCode[0x40 + 24 + 224 + 7] ^= 1;
    std::string dirtyPadding = Signed(original);
    dirtyPadding[original.size()] = 'x';
    std::string trailing = Signed(original) + "extra";
    std::string changedHeader = Signed(original);
    changedHeader[0x40 + 24 + 60] ^= 1;  // next to the checksum, not it
    const struct {
        std::string signedBytes;
        std::string unsignedBytes;
        const char* why;
    } faults[] = {
        {changedCode, original, "byte"},
        {changedHeader, original, "byte"},
        {dirtyPadding, original, "padding"},
        {trailing, original, "follow"},
        {original, original, "no signature"},
        {Signed(original), Signed(original), "already"},
        {Signed(original), "not a program", "not a PE"},
    };
    for (const auto& fault : faults) {
        std::string difference = CompareSignedWithUnsigned(fault.unsignedBytes, fault.signedBytes);
        EXPECT_NE(difference.find(fault.why), std::string::npos) << fault.why << ": " << difference;
    }
}

}  // namespace
}  // namespace trelvo::media
