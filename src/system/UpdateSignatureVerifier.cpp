#include "system/UpdateSignatureVerifier.hpp"

#include <algorithm>
#include <sodium.h>

namespace plinkora {

std::optional<UpdateSignatureVerifier>
UpdateSignatureVerifier::fromBase64(const QByteArray& base64Key) {
    static_assert(kKeyBytes == crypto_sign_PUBLICKEYBYTES);
    static_assert(kSignatureBytes == crypto_sign_BYTES);
    // sodium_init is idempotent and thread-safe; it only fails when no entropy source exists,
    // which signature checks do not need.
    if (sodium_init() < 0) {
        return std::nullopt;
    }
    const auto decoded = QByteArray::fromBase64Encoding(base64Key.trimmed(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != qsizetype(kKeyBytes)) {
        return std::nullopt;
    }
    std::array<unsigned char, kKeyBytes> key{};
    std::copy_n(reinterpret_cast<const unsigned char*>(decoded.decoded.constData()), kKeyBytes,
                key.begin());
    return UpdateSignatureVerifier(key);
}

bool UpdateSignatureVerifier::verify(const QByteArray& data, const QByteArray& signature) const {
    if (signature.size() != qsizetype(kSignatureBytes)) {
        return false;
    }
    return crypto_sign_verify_detached(
               reinterpret_cast<const unsigned char*>(signature.constData()),
               reinterpret_cast<const unsigned char*>(data.constData()),
               static_cast<unsigned long long>(data.size()), key_.data()) == 0;
}

} // namespace plinkora
