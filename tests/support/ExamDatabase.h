// The examination database used by the tests: the thirteen tables and their
// "_BK" twins, loaded from the same schema and seed files as the demo, and
// whole-table snapshots to prove that a removal touched nothing else.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ado/Connection.h"

namespace testing_support {

// The statements of one SQL file, split at the ";" that ends a line.
std::vector<std::string> SqlStatements(const std::string& path);

std::string ExamSchemaFile();
std::string ExamSeedFile();

enum class Twins { Included, Omitted };

// Creates the tables (with or without their twins) and loads the seed rows
// through the connection.
void LoadExamDatabase(ado::Connection& connection, Twins twins = Twins::Included);

// Creates a new SQLite file at path holding the examination database and
// returns its connection string.
std::string CreateSqliteExamDatabase(const std::string& path, Twins twins = Twins::Included);

// Every row of every examination table (live and, when present, twins), as
// text, sorted: table name -> rows.
using Snapshot = std::map<std::string, std::vector<std::string>>;
Snapshot TakeSnapshot(ado::Connection& connection, Twins twins = Twins::Included);

// The rows that belong to examination number in each table of one set,
// found with queries written independently of the removal's statements.
Snapshot RowsOfExamination(ado::Connection& connection, const std::string& number, const std::string& suffix);

// before without the rows in removed.
Snapshot Without(const Snapshot& before, const Snapshot& removed);

// Examination numbers of the seed: in Exame only, in Exame_BK only, in both.
struct SeedNumbers {
    std::vector<std::string> liveOnly, twinsOnly, both;
};
SeedNumbers FindSeedNumbers(ado::Connection& connection);

// Number of rows, summed over the tables, that belong to number in one set.
std::size_t CountRows(const Snapshot& snapshot);

}  // namespace testing_support
