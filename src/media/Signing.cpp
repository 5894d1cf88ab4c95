#include "media/Signing.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <termios.h>
#include <unistd.h>

#include "media/Subprocess.h"

namespace fs = std::filesystem;

namespace trelvo::media {
namespace {

std::uint32_t Little32(const std::string& bytes, std::size_t at)
{
    return std::uint32_t(std::uint8_t(bytes[at])) | std::uint32_t(std::uint8_t(bytes[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(bytes[at + 2])) << 16 | std::uint32_t(std::uint8_t(bytes[at + 3])) << 24;
}

std::uint16_t Little16(const std::string& bytes, std::size_t at)
{
    return std::uint16_t(std::uint8_t(bytes[at]) | std::uint8_t(bytes[at + 1]) << 8);
}

std::optional<std::string> ReadAll(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// The password: the first line of the file, or typed on the terminal
// without echo. Never on a command line, never printed.
std::optional<std::string> Password(const SignRequest& request, std::string& error)
{
    if (request.passwordFile) {
        std::optional<std::string> text = ReadAll(*request.passwordFile);
        if (!text) {
            error = "cannot read the password file " + request.passwordFile->string();
            return std::nullopt;
        }
        std::string line = text->substr(0, text->find_first_of("\r\n"));
        return line;
    }
    if (!::isatty(0)) return std::string();  // a certificate file without a password
    std::fputs("Password for the certificate file: ", stderr);
    std::fflush(stderr);
    termios saved{};
    bool quiet = ::tcgetattr(0, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(0, TCSAFLUSH, &silent);
    }
    std::string line;
    for (char c; ::read(0, &c, 1) == 1 && c != '\n';) line += c;
    if (quiet) ::tcsetattr(0, TCSAFLUSH, &saved);
    std::fputs("\n", stderr);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string Sha256(const fs::path& path)
{
    RunResult digest = RunProgram({"sha256sum", "--", path.string()});
    return digest.exitStatus == 0 ? digest.output.substr(0, digest.output.find(' ')) : std::string();
}

// The certificates in the PFX file (PEM), or why they cannot be read.
std::string Certificates(const SignRequest& request, const std::string& password, std::string& error)
{
    std::vector<std::string> line = {"openssl", "pkcs12", "-in", request.pfx.string(), "-nokeys", "-passin", "stdin"};
    RunOptions options;
    options.input = password + "\n";
    RunResult read = RunProgram(line, options);
    if (read.exitStatus != 0 && read.output.find("nsupported") != std::string::npos) {
        // Certificate files from older tools are often encrypted with RC2.
        line.push_back("-legacy");
        read = RunProgram(line, options);
    }
    if (read.exitStatus == 0) return read.output;
    if (read.output.find("invalid password") != std::string::npos || read.output.find("verify failure") != std::string::npos)
        error = "the password does not open " + request.pfx.string();
    else
        error = "cannot read the certificate file " + request.pfx.string() + " (is it a PKCS#12 .pfx/.p12 file?)";
    return {};
}

std::string FirstLines(const std::string& text, int count)
{
    std::string out;
    std::istringstream lines(text);
    for (std::string line; count > 0 && std::getline(lines, line);)
        if (!line.empty()) {
            out += "\n  " + line;
            --count;
        }
    return out;
}

}  // namespace

std::optional<PeLayout> ReadPeLayout(const std::string& bytes)
{
    if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return std::nullopt;
    std::size_t pe = Little32(bytes, 0x3C);
    if (pe > bytes.size() || bytes.size() - pe < 24 || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return std::nullopt;
    std::size_t optional = pe + 24;
    std::size_t optionalSize = Little16(bytes, pe + 20);
    if (bytes.size() - optional < optionalSize || optionalSize < 2) return std::nullopt;
    std::uint16_t magic = Little16(bytes, optional);
    std::size_t directories;
    if (magic == 0x10B) directories = optional + 96;       // PE32
    else if (magic == 0x20B) directories = optional + 112; // PE32+
    else return std::nullopt;
    std::size_t countAt = directories - 4;
    if (optional + optionalSize < directories || Little32(bytes, countAt) < 5 ||
        optional + optionalSize < directories + 5 * 8)
        return std::nullopt;
    PeLayout layout;
    layout.checksumOffset = optional + 64;
    layout.securityEntryOffset = directories + 4 * 8;
    layout.signatureOffset = Little32(bytes, layout.securityEntryOffset);
    layout.signatureSize = Little32(bytes, layout.securityEntryOffset + 4);
    return layout;
}

std::string CompareSignedWithUnsigned(const std::string& unsignedBytes, const std::string& signedBytes)
{
    std::optional<PeLayout> before = ReadPeLayout(unsignedBytes), after = ReadPeLayout(signedBytes);
    if (!before || !after) return "not a PE image";
    if (before->signatureSize != 0) return "the unsigned file already carries a signature";
    if (after->signatureSize == 0) return "the signed file carries no signature";
    std::size_t start = after->signatureOffset;
    if (start < unsignedBytes.size() || start > signedBytes.size() || signedBytes.size() - start < after->signatureSize)
        return "the signature does not follow the unsigned file's bytes";
    for (std::size_t i = 0; i < start; ++i) {
        bool changeable = (i >= after->checksumOffset && i < after->checksumOffset + 4) ||
                          (i >= after->securityEntryOffset && i < after->securityEntryOffset + 8);
        if (i >= unsignedBytes.size()) {
            if (signedBytes[i] != '\0') return "the padding before the signature is not zero";
        } else if (!changeable && signedBytes[i] != unsignedBytes[i]) {
            return "byte " + std::to_string(i) + " differs from the unsigned file";
        }
    }
    if (start + after->signatureSize != signedBytes.size()) return "bytes follow the signature";
    return {};
}

SignResult SignExecutable(const SignRequest& request)
{
    SignResult result;
    std::optional<std::string> original = ReadAll(request.executable);
    if (!original) {
        result.error = "cannot read " + request.executable.string();
        return result;
    }
    std::optional<PeLayout> layout = ReadPeLayout(*original);
    if (!layout) {
        result.error = request.executable.string() + " is not a Windows executable (no PE image)";
        return result;
    }
    if (layout->signatureSize != 0) {
        result.error = request.executable.string() +
                       " is already signed; sign the unsigned launcher (or remove the signature with "
                       "\"osslsigncode remove-signature\") so that one signature stands";
        return result;
    }
    for (const char* tool : {"osslsigncode", "openssl"})
        if (!ProgramAvailable(tool)) {
            result.error = std::string(tool) + " is not installed (Debian package " + tool + ")";
            return result;
        }
    if (!fs::is_regular_file(request.pfx)) {
        result.error = "no certificate file " + request.pfx.string();
        return result;
    }
    std::optional<std::string> password = Password(request, result.error);
    if (!password) return result;

    std::string certificates = Certificates(request, *password, result.error);
    if (certificates.empty()) return result;
    // Windows accepts a certificate for code only when its extended key usage,
    // if it names any, names code signing.
    RunOptions pem;
    pem.input = certificates;
    RunResult usage = RunProgram({"openssl", "x509", "-noout", "-ext", "extendedKeyUsage"}, pem);
    if (usage.output.find("Extended Key Usage") != std::string::npos && usage.output.find("Code Signing") == std::string::npos) {
        result.error = "the certificate in " + request.pfx.string() +
                       " is not for code signing (its extended key usage lacks \"Code Signing\")";
        return result;
    }

    fs::path signedFile = request.executable;
    signedFile += ".signing";
    std::error_code error;
    fs::remove(signedFile, error);
    struct Remove {
        fs::path path;
        ~Remove()
        {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    } removeSigned{signedFile};

    // The password on standard input, by a path every osslsigncode version
    // opens (newer ones also take "-").
    std::vector<std::string> line = {"osslsigncode", "sign", "-pkcs12", request.pfx.string(), "-readpass", "/dev/stdin", "-h", "sha256"};
    if (!request.name.empty()) line.insert(line.end(), {"-n", request.name});
    if (!request.url.empty()) line.insert(line.end(), {"-i", request.url});
    if (!request.timestampUrl.empty()) line.insert(line.end(), {"-t", request.timestampUrl});
    line.insert(line.end(), {"-in", request.executable.string(), "-out", signedFile.string()});
    RunOptions options;
    options.input = *password + "\n";
    RunResult signing = RunProgram(line, options);
    if (signing.exitStatus != 0) {
        result.error = "osslsigncode could not sign:" + FirstLines(signing.output, 4);
        if (signing.output.find("nsupported") != std::string::npos || signing.output.find("RC2") != std::string::npos)
            result.error += "\nThe certificate file may be encrypted with the legacy RC2 cipher: re-export it with "
                            "\"openssl pkcs12 -legacy -in old.pfx -nodes | openssl pkcs12 -export -out new.pfx\".";
        if (!request.timestampUrl.empty() && signing.output.find("imestamp") != std::string::npos)
            result.error += "\nThe time-stamp server " + request.timestampUrl + " did not answer.";
        return result;
    }

    std::vector<std::string> verify = {"osslsigncode", "verify", "-in", signedFile.string()};
    if (request.trustedCa) verify.insert(verify.begin() + 2, {"-CAfile", request.trustedCa->string()});
    RunResult verified = RunProgram(verify);
    if (verified.exitStatus != 0) {
        // The signature may be sound while this machine does not trust the
        // certificate's issuer (a private or self-made one): check it against
        // the certificate file's own chain.
        char pattern[] = "/tmp/trelvo-sign-XXXXXX";
        int fd = ::mkstemp(pattern);
        bool sound = false;
        if (fd >= 0) {
            bool whole = ::write(fd, certificates.data(), certificates.size()) == ssize_t(certificates.size());
            ::close(fd);
            sound = whole && RunProgram({"osslsigncode", "verify", "-CAfile", pattern, "-in", signedFile.string()}).exitStatus == 0;
            ::unlink(pattern);
        }
        if (!sound) {
            result.error = "the signed file does not verify:" + FirstLines(verified.output, 4);
            return result;
        }
        result.warnings.push_back("the signature verifies, but this machine does not trust the certificate's issuer; "
                                  "Windows will trust it only where that issuer is trusted");
    }

    std::optional<std::string> signedBytes = ReadAll(signedFile);
    if (!signedBytes) {
        result.error = "cannot read the signed file back";
        return result;
    }
    if (std::string difference = CompareSignedWithUnsigned(*original, *signedBytes); !difference.empty()) {
        result.error = "the signed file is not the launcher plus a signature: " + difference;
        return result;
    }
    fs::permissions(signedFile, fs::status(request.executable, error).permissions(), error);
    fs::rename(signedFile, request.executable, error);
    if (error) {
        result.error = "cannot replace " + request.executable.string() + ": " + error.message();
        return result;
    }
    result.signedOk = true;
    result.sha256 = Sha256(request.executable);
    return result;
}

}  // namespace trelvo::media
