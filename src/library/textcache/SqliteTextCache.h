#pragma once

#include <QString>
#include <memory>
#include <mutex>

#include "library/textcache/TextCache.h"

struct sqlite3;
struct sqlite3_stmt;

namespace framlet {

// The text cache as one SQLite database (WAL journal, mode 0600: screenshot text holds
// passwords and private messages), its text indexed by FTS5's trigram tokenizer, which matches
// any run of three or more characters regardless of case, as the shelf does.
//
// What it does with a database it cannot use as it is, each logged:
// - damaged or another program's: moved aside as `<file>.damaged-<date>-<time>` and made anew;
// - held by another process (the lock is taken for the whole run): used by nobody here;
// - from a newer version of the program: read, never written;
// - a full disk: lookups go on, new rows are dropped.
// Every change is one transaction, so quitting at any moment leaves the last whole state.
class SqliteTextCache : public TextCache {
public:
    enum class State { open, readOnly, unavailable };

    // How long a lock held elsewhere is waited for before the cache is given up.
    static constexpr int lockPatienceMs = 1500;

    explicit SqliteTextCache(const QString& file);
    ~SqliteTextCache() override;
    SqliteTextCache(const SqliteTextCache&) = delete;
    SqliteTextCache& operator=(const SqliteTextCache&) = delete;

    // $XDG_CACHE_HOME/Framlet/texts.sqlite
    static QString defaultFile();
    // The schema this build writes; a database with a higher one is only read.
    static constexpr int schemaVersion = 1;

    State state() const { return m_state; }

    std::optional<QString> text(const TextKey& key) override;
    void remember(const TextKey& key, const QString& text) override;
    QStringList search(const QString& query, int limit) override;
    void forget(const QStringList& paths) override;
    void keepOnly(const QSet<QString>& paths) override;
    void forgetAll() override;

private:
    enum class Opened { ok, damaged, locked, failed };
    Opened open(bool readOnly);
    Opened createSchema();
    bool check();
    void close();
    void moveAside();
    bool exec(const char* sql);
    bool writable() const { return m_state == State::open; }
    // Logs a failed write once per kind of failure; a damaged database stops the cache.
    void writeFailed(int code, const char* what);

    const QString m_file;
    std::mutex m_mutex;
    sqlite3* m_db = nullptr;
    State m_state = State::unavailable;
    int m_lastWriteFailure = 0;
    int m_lastExecCode = 0;
};

}  // namespace framlet
