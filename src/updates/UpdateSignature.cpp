#include "updates/UpdateSignature.h"

#include <sodium.h>

#include <QFile>

namespace framlet::UpdateSignature {
namespace {

std::optional<QByteArray> decodedBase64(const QByteArray& text) {
    const auto result =
        QByteArray::fromBase64Encoding(text.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    return result ? std::optional(*result) : std::nullopt;
}

}  // namespace

std::optional<QByteArray> publicKey(const QString& base64) {
    const auto key = decodedBase64(base64.toLatin1());
    if (!key || key->size() != crypto_sign_PUBLICKEYBYTES) {
        return std::nullopt;
    }
    return key;
}

bool verifiesFile(const QString& path, const QByteArray& base64Signature,
                  const QByteArray& publicKey) {
    const auto signature = decodedBase64(base64Signature);
    if (!signature || signature->size() != crypto_sign_BYTES ||
        publicKey.size() != crypto_sign_PUBLICKEYBYTES || sodium_init() < 0) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const qint64 size = file.size();
    // An empty file cannot be mapped, and no update is empty.
    const uchar* bytes = size > 0 ? file.map(0, size) : nullptr;
    if (!bytes) {
        return false;
    }
    const bool valid = crypto_sign_verify_detached(
                           reinterpret_cast<const unsigned char*>(signature->constData()), bytes,
                           static_cast<unsigned long long>(size),
                           reinterpret_cast<const unsigned char*>(publicKey.constData())) == 0;
    file.unmap(const_cast<uchar*>(bytes));
    return valid;
}

}  // namespace framlet::UpdateSignature
