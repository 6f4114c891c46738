#pragma once

#include "MmsDB.h"
#include "Sqlite3DB.h"

// For tests and benchmarks only: the connection an MmsDB keeps to itself, to prepare a
// store with SQL (a damaged table, a trigger that refuses a row) and to read its state
// back. The program never includes this header; it uses MmsDB's named operations.
class MmsDBTestAccess
{
public:
    static Sqlite3DB &connection(MmsDB &store) { return store; }
};
