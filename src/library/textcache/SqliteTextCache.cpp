#include "library/textcache/SqliteTextCache.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <utility>

#include "platform/DebugLog.h"

namespace framlet {
namespace {

// 'Frml': tells this program's database from another's that happens to sit at the same path.
constexpr int kApplicationId = 0x46726d6c;

constexpr const char* kSchema = R"sql(
-- The rowid is the modification time (made unique), so that the index walks matches newest
-- first and stops at the limit.
CREATE TABLE texts(path TEXT UNIQUE NOT NULL, device INTEGER NOT NULL,
    inode INTEGER NOT NULL, size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL,
    recognizer TEXT NOT NULL, name TEXT NOT NULL, text TEXT NOT NULL);
CREATE VIRTUAL TABLE texts_index USING fts5(name, text, content='texts', content_rowid='rowid',
    tokenize='trigram');
CREATE TRIGGER texts_added AFTER INSERT ON texts BEGIN
    INSERT INTO texts_index(rowid, name, text) VALUES (new.rowid, new.name, new.text);
END;
CREATE TRIGGER texts_removed AFTER DELETE ON texts BEGIN
    INSERT INTO texts_index(texts_index, rowid, name, text)
        VALUES ('delete', old.rowid, old.name, old.text);
END;
CREATE TRIGGER texts_changed AFTER UPDATE ON texts BEGIN
    INSERT INTO texts_index(texts_index, rowid, name, text)
        VALUES ('delete', old.rowid, old.name, old.text);
    INSERT INTO texts_index(rowid, name, text) VALUES (new.rowid, new.name, new.text);
END;
)sql";

void log(const QString& line) {
    DebugLog::log(QStringLiteral("textcache: ") + line);
}

bool damagedCode(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// One prepared statement, finalised when it goes out of scope.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        m_prepared = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr);
        m_code = m_prepared;
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_prepared == SQLITE_OK; }
    Statement& bind(int index, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int index, qint64 value) {
        sqlite3_bind_int64(m_statement, index, value);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int step() { return m_code = ok() ? sqlite3_step(m_statement) : m_prepared; }
    void reset() { sqlite3_reset(m_statement); }
    QString text(int column) const {
        return QString::fromUtf8(
            reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column)),
            sqlite3_column_bytes(m_statement, column));
    }
    qint64 integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    int code() const { return m_code; }

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_prepared = SQLITE_OK;
    int m_code = SQLITE_OK;
};

// Made before SQLite opens it, so that it never exists with wider permissions.
bool createPrivately(const QString& file) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    const int fd = ::open(QFile::encodeName(file).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return ok;
}

// Trigram matching needs three characters; shorter queries are looked for row by row.
bool indexable(const QString& query) {
    return query.toUcs4().size() >= 3;
}

}  // namespace

SqliteTextCache::SqliteTextCache(const QString& file) : m_file(file) {
    Opened opened = open(false);
    if (opened == Opened::damaged) {
        close();
        moveAside();
        opened = open(false);
    }
    if (opened == Opened::locked) {
        log(QStringLiteral("%1 is locked by another process — running without the text cache")
                .arg(m_file));
    } else if (opened != Opened::ok) {
        log(QStringLiteral("cannot use %1 — running without the text cache").arg(m_file));
    }
    if (opened != Opened::ok) {
        close();
        m_state = State::unavailable;
    }
}

SqliteTextCache::~SqliteTextCache() {
    close();
}

QString SqliteTextCache::defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Framlet/texts.sqlite");
}

SqliteTextCache::Opened SqliteTextCache::open(bool readOnly) {
    if (!readOnly && !createPrivately(m_file)) {
        return Opened::failed;
    }
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_NOFOLLOW;
    if (sqlite3_open_v2(QFile::encodeName(m_file).constData(), &m_db, flags, nullptr) !=
        SQLITE_OK) {
        return Opened::failed;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, lockPatienceMs);
    // Held for the whole run: a second process (another session, a shared network home) stays
    // out instead of waiting on every statement. Deleted text is overwritten, not left in free
    // pages. In WAL, NORMAL loses at most the last rows at a power cut, never the whole.
    exec(
        "PRAGMA locking_mode=EXCLUSIVE; PRAGMA secure_delete=ON; PRAGMA temp_store=MEMORY;"
        "PRAGMA synchronous=NORMAL");
    Statement header(m_db, "PRAGMA user_version");
    const int code = header.step();
    if (code != SQLITE_ROW) {
        return damagedCode(code)                                                ? Opened::damaged
               : (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED ? Opened::locked
                                                                                : Opened::failed;
    }
    const qint64 version = header.integer(0);
    if (version > schemaVersion) {
        log(QStringLiteral("%1 was written by a newer version — only read").arg(m_file));
        m_state = State::readOnly;
        return Opened::ok;
    }
    const int wal = [this] {
        Statement journal(m_db, "PRAGMA journal_mode=WAL");
        return journal.step();
    }();
    if ((wal & 0xff) == SQLITE_BUSY) {
        return Opened::locked;
    }
    if (damagedCode(wal)) {
        return Opened::damaged;
    }
    if (version == 0) {
        return createSchema();
    }
    return check() ? (m_state = State::open, Opened::ok) : Opened::damaged;
}

SqliteTextCache::Opened SqliteTextCache::createSchema() {
    Statement tables(m_db, "SELECT count(*) FROM sqlite_master");
    if (tables.step() != SQLITE_ROW) {
        return damagedCode(tables.code()) ? Opened::damaged : Opened::failed;
    }
    if (tables.integer(0) != 0) {
        log(QStringLiteral("%1 holds another program's tables").arg(m_file));
        return Opened::damaged;
    }
    const QByteArray sql = QByteArray("BEGIN;") + kSchema + QByteArray("PRAGMA application_id=") +
                           QByteArray::number(kApplicationId) +
                           "; PRAGMA user_version=" + QByteArray::number(schemaVersion) +
                           "; COMMIT;";
    if (!exec(sql.constData())) {
        exec("ROLLBACK");
        return Opened::failed;
    }
    m_state = State::open;
    return Opened::ok;
}

bool SqliteTextCache::check() {
    Statement id(m_db, "PRAGMA application_id");
    if (id.step() != SQLITE_ROW || id.integer(0) != kApplicationId) {
        log(QStringLiteral("%1 is not Framlet's").arg(m_file));
        return false;
    }
    Statement quick(m_db, "PRAGMA quick_check");
    if (quick.step() != SQLITE_ROW || quick.text(0) != QLatin1String("ok")) {
        return false;
    }
    // quick_check reads the tables' pages, not the text index's own.
    return exec("INSERT INTO texts_index(texts_index, rank) VALUES('integrity-check', 0)");
}

void SqliteTextCache::close() {
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void SqliteTextCache::moveAside() {
    const QString stem = m_file + QStringLiteral(".damaged-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = stem;
    for (int n = 2; QFileInfo::exists(aside); ++n) {  // never over an earlier one
        aside = stem + QLatin1Char('-') + QString::number(n);
    }
    const bool moved =
        ::rename(QFile::encodeName(m_file).constData(), QFile::encodeName(aside).constData()) == 0;
    // Its journal belongs to it: left here it would be replayed into the new database.
    for (const char* suffix : {"-wal", "-shm"}) {
        ::rename(QFile::encodeName(m_file + QLatin1String(suffix)).constData(),
                 QFile::encodeName(aside + QLatin1String(suffix)).constData());
    }
    log(moved ? QStringLiteral("%1 is damaged or not Framlet's — moved aside as %2, made anew")
                    .arg(m_file, aside)
              : QStringLiteral("%1 is damaged and could not be moved aside").arg(m_file));
}

bool SqliteTextCache::exec(const char* sql) {
    const int code = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    m_lastExecCode = code;
    return code == SQLITE_OK;
}

void SqliteTextCache::writeFailed(int code, const char* what) {
    if (std::exchange(m_lastWriteFailure, code) != code) {
        log(QStringLiteral("could not %1: %2")
                .arg(QLatin1String(what), QString::fromUtf8(sqlite3_errstr(code))));
    }
    if (damagedCode(code)) {
        m_state = State::unavailable;
    }
}

std::optional<QString> SqliteTextCache::text(const TextKey& key) {
    const std::lock_guard lock(m_mutex);
    if (m_state == State::unavailable) {
        return std::nullopt;
    }
    Statement select(m_db,
                     "SELECT text FROM texts WHERE path=?1 AND device=?2 AND inode=?3 AND size=?4 "
                     "AND mtime_ns=?5 AND recognizer=?6");
    select.bind(1, key.path)
        .bind(2, qint64(key.device))
        .bind(3, qint64(key.inode))
        .bind(4, key.size)
        .bind(5, key.modifiedNs)
        .bind(6, key.recognizer);
    if (select.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return select.text(0);
}

void SqliteTextCache::remember(const TextKey& key, const QString& text) {
    const std::lock_guard lock(m_mutex);
    if (!writable()) {
        return;
    }
    bool ok = exec("BEGIN");
    {
        Statement remove(m_db, "DELETE FROM texts WHERE path=?1");
        ok = ok && remove.bind(1, key.path).step() == SQLITE_DONE;
        m_lastExecCode = ok ? m_lastExecCode : remove.code();
    }
    Statement insert(m_db,
                     "INSERT INTO texts(rowid, path, device, inode, size, mtime_ns, recognizer, "
                     "name, text) VALUES (?9, ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    insert.bind(1, key.path)
        .bind(2, qint64(key.device))
        .bind(3, qint64(key.inode))
        .bind(4, key.size)
        .bind(5, key.modifiedNs)
        .bind(6, key.recognizer)
        .bind(7, QFileInfo(key.path).fileName().toLower())
        .bind(8, text.toLower());
    // Files of the same nanosecond take the next free rowids.
    for (qint64 rowid = std::max<qint64>(1, key.modifiedNs); ok; ++rowid) {
        const int code = insert.bind(9, rowid).step();
        insert.reset();
        if (code != SQLITE_CONSTRAINT_PRIMARYKEY && code != SQLITE_CONSTRAINT_ROWID) {
            ok = code == SQLITE_DONE;
            m_lastExecCode = code;
            break;
        }
    }
    if (!ok || !exec("COMMIT")) {
        writeFailed(m_lastExecCode, "remember a text");
        exec("ROLLBACK");
    }
}

QStringList SqliteTextCache::search(const QString& query, int limit) {
    const std::lock_guard lock(m_mutex);
    QStringList found;
    if (m_state == State::unavailable || query.isEmpty()) {
        return found;
    }
    const QString needle = query.toLower();
    const bool indexed = indexable(needle);
    Statement select(
        m_db, indexed
                  ? "SELECT path FROM texts WHERE rowid IN (SELECT rowid FROM texts_index WHERE "
                    "texts_index MATCH ?1 ORDER BY rowid DESC LIMIT ?2) ORDER BY rowid DESC"
                  : "SELECT path FROM texts WHERE instr(name, ?1) > 0 OR instr(text, ?1) > 0"
                    " ORDER BY rowid DESC LIMIT ?2");
    QString phrase = needle;
    select
        .bind(1, indexed
                     ? QLatin1Char('"') + phrase.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                           QLatin1Char('"')
                     : needle)
        .bind(2, qint64(limit));
    while (select.step() == SQLITE_ROW) {
        found.append(select.text(0));
    }
    return found;
}

void SqliteTextCache::forget(const QStringList& paths) {
    const std::lock_guard lock(m_mutex);
    if (!writable() || paths.isEmpty()) {
        return;
    }
    bool ok = exec("BEGIN");
    {
        Statement remove(m_db, "DELETE FROM texts WHERE path=?1");
        for (auto path = paths.cbegin(); ok && path != paths.cend(); ++path) {
            remove.bind(1, *path);
            ok = remove.step() == SQLITE_DONE;
            m_lastExecCode = remove.code();
            remove.reset();
        }
    }
    if (!ok || !exec("COMMIT")) {
        writeFailed(m_lastExecCode, "forget the texts of files that are gone");
        exec("ROLLBACK");
    }
}

void SqliteTextCache::keepOnly(const QSet<QString>& paths) {
    const std::lock_guard lock(m_mutex);
    if (!writable()) {
        return;
    }
    bool ok = exec(
        "BEGIN; CREATE TEMP TABLE IF NOT EXISTS kept(path TEXT PRIMARY KEY);"
        "DELETE FROM kept");
    {
        Statement insert(m_db, "INSERT OR IGNORE INTO kept(path) VALUES (?1)");
        for (auto path = paths.cbegin(); ok && path != paths.cend(); ++path) {
            insert.bind(1, *path);
            ok = insert.step() == SQLITE_DONE;
            if (!ok) {
                m_lastExecCode = insert.code();
            }
            insert.reset();
        }
    }
    ok = ok && exec("DELETE FROM texts WHERE path NOT IN (SELECT path FROM kept); COMMIT");
    if (!ok) {
        writeFailed(m_lastExecCode, "forget the texts of files that are gone");
        exec("ROLLBACK");
    }
}

void SqliteTextCache::forgetAll() {
    const std::lock_guard lock(m_mutex);
    if (!writable()) {
        return;
    }
    if (!exec("BEGIN; DELETE FROM texts; COMMIT")) {
        writeFailed(m_lastExecCode, "forget the recognised text");
        exec("ROLLBACK");
        return;
    }
    // The journal still holds the pages just cleared: fold it back in and empty it.
    exec("PRAGMA wal_checkpoint(TRUNCATE)");
    log(QStringLiteral("forgot every recognised text"));
}

}  // namespace framlet
