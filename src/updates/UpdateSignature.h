#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace framlet {

// Ed25519 signatures of downloaded updates, checked with libsodium.
namespace UpdateSignature {

// The 32-byte public key from its base64 text; nothing for anything else (bad base64, 31 or 33
// bytes, an empty text).
std::optional<QByteArray> publicKey(const QString& base64);

// Whether the file's bytes carry this base64 detached signature by the key. A file that cannot
// be read, or a signature of the wrong size, does not verify.
bool verifiesFile(const QString& path, const QByteArray& base64Signature,
                  const QByteArray& publicKey);

}  // namespace UpdateSignature
}  // namespace framlet
