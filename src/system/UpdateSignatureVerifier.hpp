#pragma once

#include <QByteArray>
#include <array>
#include <optional>

namespace plinkora {

/// Checks ed25519 signatures of whole update files against the build's public key.
class UpdateSignatureVerifier {
public:
    static constexpr std::size_t kKeyBytes = 32;
    static constexpr std::size_t kSignatureBytes = 64;

    /// The key as base64 text; nothing when it is not base64 or not an ed25519 public key.
    static std::optional<UpdateSignatureVerifier> fromBase64(const QByteArray& base64Key);

    /// Whether `signature` (raw bytes) is the key's signature of exactly `data`.
    bool verify(const QByteArray& data, const QByteArray& signature) const;

private:
    explicit UpdateSignatureVerifier(const std::array<unsigned char, kKeyBytes>& key)
        : key_(key) {}

    std::array<unsigned char, kKeyBytes> key_;
};

} // namespace plinkora
