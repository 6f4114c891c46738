#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QRecursiveMutex>
#include <QVector>

#include <memory>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

// The prepared statements of one SQL text: those idle for reuse, and how many are in use.
struct Sqlite3StatementSlot
{
    QByteArray sql;
    QVector<sqlite3_stmt *> idle;
    int inUse = 0;
};

// The state one open database shares with the statements prepared on it.
// Statements hold it by shared pointer, so a cursor that outlives Sqlite3DB::close()
// still finds a valid (closed) connection when it gives its statement back.
class Sqlite3Connection
{
public:
    Sqlite3Connection() = default;
    ~Sqlite3Connection();
    Sqlite3Connection(const Sqlite3Connection &) = delete;
    Sqlite3Connection &operator=(const Sqlite3Connection &) = delete;

    // Texts formatted with values (a list of ids, a table name) each make a slot; past this
    // many, the slots nobody is using are dropped rather than kept for the whole session.
    static constexpr size_t kMaxSlots = 256;

    // Every call into the database holds this lock, cursor reads included.
    QRecursiveMutex mutex;
    sqlite3 *db = nullptr;

    // A prepared statement for the text (an idle cached one, or a new one) and the slot
    // it goes back to. Throws.
    sqlite3_stmt *acquire(const QByteArray &sql, Sqlite3StatementSlot *&slot);
    // Takes a statement back for reuse, or finalises it when the connection it was
    // prepared on is closed.
    void release(Sqlite3StatementSlot *slot, sqlite3_stmt *stmt);
    void close();

private:
    struct KeyHash
    {
        size_t operator()(const QByteArray &key) const { return qHash(key); }
    };

    Sqlite3StatementSlot *slotFor(const QByteArray &sql);
    // Finalises the idle statements of every slot not in use, and drops those slots.
    void dropUnusedSlots();

    // A slot's address stays put while statements taken from it are out.
    std::unordered_map<QByteArray, std::unique_ptr<Sqlite3StatementSlot>, KeyHash> m_slots;
};
