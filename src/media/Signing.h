// Authenticode signing of a launcher with osslsigncode, checked before it
// counts: the signature verifies, and every byte outside the parts a
// signature may change is the unsigned file's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace trelvo::media {

// Where a PE image keeps what signing changes: the checksum field and the
// security entry of the data directory (the signature's file offset and size).
struct PeLayout {
    std::size_t checksumOffset = 0;
    std::size_t securityEntryOffset = 0;
    std::uint32_t signatureOffset = 0;
    std::uint32_t signatureSize = 0;
};

// Nothing when the bytes are not a PE image.
std::optional<PeLayout> ReadPeLayout(const std::string& bytes);

// Empty when `signedBytes` is `unsignedBytes` apart from the checksum field,
// the security entry, the padding before the signature and the signature
// itself; otherwise what differs.
std::string CompareSignedWithUnsigned(const std::string& unsignedBytes, const std::string& signedBytes);

struct SignRequest {
    std::filesystem::path executable;
    std::filesystem::path pfx;
    std::optional<std::filesystem::path> passwordFile;  // else asked on the terminal
    std::optional<std::filesystem::path> trustedCa;     // else the system's CA store
    std::string name;                                   // the product's name in the signature
    std::string url;                                    // the product's web address
    std::string timestampUrl;                           // empty: no time stamp
};

struct SignResult {
    bool signedOk = false;
    std::string error;
    std::vector<std::string> warnings;
    std::string sha256;  // of the signed file
};

// Signs request.executable in place; on any failure the file is unchanged.
SignResult SignExecutable(const SignRequest& request);

}  // namespace trelvo::media
