// Creates the template message store from a schema file:
//   parlowick-mktemplate SCHEMA.sql OUT.db
// The store layout (page size 1024, UTF-8, rollback journal, user version 0)
// is fixed here so that every new account starts from the same file.

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

bool exec(sqlite3 *db, const std::string &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "parlowick-mktemplate: %s\n", error ? error : "unknown error");
        sqlite3_free(error);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: parlowick-mktemplate SCHEMA.sql OUT.db\n");
        return 2;
    }
    std::ifstream schemaFile(argv[1]);
    if (!schemaFile) {
        std::fprintf(stderr, "parlowick-mktemplate: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream schema;
    schema << schemaFile.rdbuf();

    std::remove(argv[2]);
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(argv[2], &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "parlowick-mktemplate: %s\n", sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }
    // page_size and encoding only take effect before the first table is created.
    const bool ok = exec(db, "PRAGMA page_size = 1024; PRAGMA encoding = 'UTF-8'; PRAGMA journal_mode = DELETE;")
        && exec(db, "BEGIN;") && exec(db, schema.str()) && exec(db, "PRAGMA user_version = 0;") && exec(db, "COMMIT;");
    sqlite3_close(db);
    if (!ok)
        std::remove(argv[2]);
    return ok ? 0 : 1;
}
