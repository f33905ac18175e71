#include "updates/UpdatePayload.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <chrono>

namespace framlet::UpdatePayload {
namespace {

// Bounds on what an ELF file's own fields may make the reader load.
constexpr quint64 kMaxSections = 4096;
constexpr quint64 kMaxEntrySize = 256;
constexpr quint64 kMaxSectionNames = 64 * 1024;
constexpr quint64 kMaxVersionBytes = 256;
constexpr std::chrono::seconds kPackageReadTimeout{20};

// Exactly `size` bytes at `offset`, or none when the file holds fewer.
QByteArray readAt(QFile& file, quint64 offset, quint64 size) {
    const auto fileSize = static_cast<quint64>(file.size());
    if (offset > fileSize || size > fileSize - offset || !file.seek(static_cast<qint64>(offset))) {
        return {};
    }
    QByteArray bytes = file.read(static_cast<qint64>(size));
    return static_cast<quint64>(bytes.size()) == size ? bytes : QByteArray();
}

// The fields of an ELF file's header and section table, in the file's own width and byte order.
struct Elf {
    bool wide;  // ELFCLASS64
    bool bigEndian;

    // An unsigned field of 2, 4 or 8 bytes; the callers keep offsets within `bytes`.
    quint64 field(const QByteArray& bytes, qsizetype offset, int width) const {
        const auto* at = reinterpret_cast<const uchar*>(bytes.constData()) + offset;
        switch (width) {
            case 2:
                return bigEndian ? qFromBigEndian<quint16>(at) : qFromLittleEndian<quint16>(at);
            case 4:
                return bigEndian ? qFromBigEndian<quint32>(at) : qFromLittleEndian<quint32>(at);
            default:
                return bigEndian ? qFromBigEndian<quint64>(at) : qFromLittleEndian<quint64>(at);
        }
    }
    int addressWidth() const { return wide ? 8 : 4; }
    quint64 minimumEntrySize() const { return wide ? 64 : 40; }
};

struct Section {
    quint64 name;  // offset in the section-name table
    quint64 offset;
    quint64 size;
};

Section sectionAt(const Elf& elf, const QByteArray& table, quint64 entrySize, quint64 index) {
    const auto entry = static_cast<qsizetype>(index * entrySize);
    const int width = elf.addressWidth();
    // sh_offset and sh_size follow sh_name, sh_type, sh_flags and sh_addr.
    const qsizetype offsetField = entry + 8 + 2 * width;
    return {elf.field(table, entry, 4), elf.field(table, offsetField, width),
            elf.field(table, offsetField + width, width)};
}

QByteArrayView nameAt(const QByteArray& names, quint64 offset) {
    if (offset >= static_cast<quint64>(names.size())) {
        return {};
    }
    const QByteArrayView rest = QByteArrayView(names).sliced(static_cast<qsizetype>(offset));
    const qsizetype end = rest.indexOf('\0');
    return end < 0 ? QByteArrayView() : rest.first(end);
}

// Version text is short printable ASCII; padding NULs and white space around it are dropped.
std::optional<QString> versionText(QByteArray bytes) {
    while (bytes.endsWith('\0')) {
        bytes.chop(1);
    }
    bytes = bytes.trimmed();
    for (const char c : bytes) {
        if (c < 0x21 || c > 0x7e) {
            return std::nullopt;
        }
    }
    return bytes.isEmpty() ? std::nullopt : std::optional(QString::fromLatin1(bytes));
}

std::optional<QString> appImageVersion(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray header = readAt(file, 0, 64);
    if (header.isEmpty() || (header[4] != 1 && header[4] != 2) ||
        (header[5] != 1 && header[5] != 2)) {
        return std::nullopt;
    }
    const Elf elf{header[4] == 2, header[5] == 2};
    const quint64 tableOffset = elf.wide ? elf.field(header, 0x28, 8) : elf.field(header, 0x20, 4);
    const qsizetype counts = elf.wide ? 0x3A : 0x2E;  // e_shentsize, e_shnum, e_shstrndx
    const quint64 entrySize = elf.field(header, counts, 2);
    const quint64 count = elf.field(header, counts + 2, 2);
    const quint64 namesIndex = elf.field(header, counts + 4, 2);
    if (count == 0 || count > kMaxSections || entrySize < elf.minimumEntrySize() ||
        entrySize > kMaxEntrySize || namesIndex >= count) {
        return std::nullopt;
    }
    const QByteArray table = readAt(file, tableOffset, count * entrySize);
    const Section namesSection =
        table.isEmpty() ? Section{} : sectionAt(elf, table, entrySize, namesIndex);
    if (table.isEmpty() || namesSection.size > kMaxSectionNames) {
        return std::nullopt;
    }
    const QByteArray names = readAt(file, namesSection.offset, namesSection.size);
    for (quint64 i = 0; i < count; ++i) {
        const Section section = sectionAt(elf, table, entrySize, i);
        if (nameAt(names, section.name) == QByteArrayView(kVersionSection)) {
            return section.size > kMaxVersionBytes
                       ? std::nullopt
                       : versionText(readAt(file, section.offset, section.size));
        }
    }
    return std::nullopt;
}

std::optional<QString> packageVersion(const QString& path) {
    const QString dpkgDeb = QStandardPaths::findExecutable(QStringLiteral("dpkg-deb"));
    if (dpkgDeb.isEmpty()) {
        return std::nullopt;
    }
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(dpkgDeb, {QStringLiteral("--field"), path, QStringLiteral("Version")});
    const bool finished = process.waitForFinished(
        static_cast<int>(std::chrono::milliseconds(kPackageReadTimeout).count()));
    if (!finished) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return versionText(process.readAllStandardOutput().left(kMaxVersionBytes));
}

}  // namespace

Kind kindOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Kind::other;
    }
    const QByteArray head = file.read(24);
    if (head.startsWith("\x7f"
                        "ELF") &&
        head.mid(8, 2) == "AI" && (head.size() > 10 && (head[10] == 1 || head[10] == 2))) {
        return Kind::appImage;
    }
    if (head.startsWith("!<arch>\n")) {
        // The first member's name field: GNU ar ends a name with '/', others pad with spaces.
        QByteArray member = head.mid(8, 16).trimmed();
        if (member.endsWith('/')) {
            member.chop(1);
        }
        if (member == "debian-binary") {
            return Kind::debianPackage;
        }
    }
    return Kind::other;
}

Kind kindNamed(const QString& fileName) {
    if (fileName.endsWith(u".AppImage", Qt::CaseInsensitive)) {
        return Kind::appImage;
    }
    if (fileName.endsWith(u".deb", Qt::CaseInsensitive)) {
        return Kind::debianPackage;
    }
    return Kind::other;
}

std::optional<QString> versionOf(const QString& path, Kind kind) {
    switch (kind) {
        case Kind::appImage:
            return appImageVersion(path);
        case Kind::debianPackage:
            return packageVersion(path);
        case Kind::other:
            break;
    }
    return std::nullopt;
}

}  // namespace framlet::UpdatePayload
