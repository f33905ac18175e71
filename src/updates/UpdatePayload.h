#pragma once

#include <QString>
#include <optional>

namespace framlet {

// What a downloaded release is, read from its own bytes: the signature covers the bytes only, so
// the feed's word on the kind of file and on its version proves nothing.
namespace UpdatePayload {

enum class Kind { appImage, debianPackage, other };

// An ELF program with the AppImage mark at offset 8 ("AI" and type 1 or 2), an `ar` archive
// whose first member is `debian-binary`, or anything else.
Kind kindOf(const QString& path);

// The kind a file name claims: `.AppImage`, `.deb`, or anything else.
Kind kindNamed(const QString& fileName);

// The version the release carries. A Framlet AppImage carries it as the text of an ELF section
// named `.framlet_version` in its runtime (added to the runtime with objcopy before the image
// is assembled); a Debian package in the `Version` field of its control data, read with
// dpkg-deb. Nothing when it carries none or it cannot be read.
std::optional<QString> versionOf(const QString& path, Kind kind);

// The section a Framlet AppImage's version is kept in.
inline constexpr char kVersionSection[] = ".framlet_version";

}  // namespace UpdatePayload
}  // namespace framlet
