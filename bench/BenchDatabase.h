// The benchmarks' database: the examination schema filled with many
// examinations in both sets of tables.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace bench {

// Runs sql (one or more statements); throws std::runtime_error on failure.
void exec(sqlite3* db, const std::string& sql);

std::string readFile(const std::string& path);

// The INSERT ... SELECT statements that fill one set (suffix "" or "_BK"),
// one examination per row of `numbers`, a row source with one integer column
// n ("s" after a WITH clause given as prefix, or a derived table named s);
// numberText turns n into the examination number's text. Used for SQLite and
// MariaDB alike.
std::vector<std::string> FillStatements(const std::string& suffix, const std::string& prefix,
                                        const std::string& numbers, const std::string& numberText);

// Creates a SQLite file at path with the schema and examinations 1 to
// examinations in both sets. Every examination n gets: pages 2n, 2n+1;
// images 2n, 2n+1 (one per page); appliqué and image backup on image 2n;
// stages 2n, 2n+1; history on both, a printout on 2n; one row in each direct
// child.
void buildDatabase(const std::string& path, long examinations);

}  // namespace bench
