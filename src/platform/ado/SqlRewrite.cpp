// Rewriting of DELETE <table> FROM <join> for SQLite (to be written).
