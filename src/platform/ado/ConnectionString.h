// Reading ADO connection strings: "Key=Value;Key=Value".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ado {

struct ConnectionProperty {
    std::string key;    // as written, blanks around it removed
    std::string value;  // quotes or braces removed, blanks around an unenclosed value removed
};

// Splits a connection string into its properties, in order. A value may be
// enclosed in double or single quotes (OLE DB's way), a quote inside it
// written twice, or in braces (ODBC's way), a closing brace inside it written
// "}}"; an enclosed value may hold ";" and "=". A value that opens a brace
// and never closes it, or has more text after the closing brace, is read
// as it stands up to the next ";". Empty segments are skipped.
std::vector<ConnectionProperty> ParseConnectionString(std::string_view text);

// The value of the last property whose key equals key, case ignored.
std::optional<std::string> FindProperty(const std::vector<ConnectionProperty>& properties,
                                        std::string_view key);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Whether a key names a password ("Password", "PWD", "Jet OLEDB:Database
// Password", ...), in any case and whatever blanks, quotes or braces stand
// around it.
bool IsPasswordKey(std::string_view key);

// The connection string (ADO's or ODBC's) with the value of every password key
// replaced by "***", for diagnostics; the rest stays as written. A password
// whose opening brace or quote is never closed hides the whole rest of the
// string; the keys of "Extended Properties", a connection string in itself,
// are redacted too.
std::string RedactPasswords(std::string_view connectionString);

// The properties written out as "Key=Value;..." with the passwords hidden as
// above, for diagnostics.
std::string RedactPasswords(const std::vector<ConnectionProperty>& properties);

// Every password the connection string holds, as any reader of it might see
// it: as configured, enclosed as ODBC and OLE DB write it, and its pieces
// between ";", for blanking out of texts that drivers build from the string.
// Values nested inside values are read too, in time proportional to the
// string's length: a string nested deeper than that allows gives a single
// empty entry, which says that its passwords are unknown. charactersRead,
// when given, receives how many characters the search read.
std::vector<std::string> PasswordValues(std::string_view connectionString,
                                        std::size_t* charactersRead = nullptr);
std::vector<std::string> PasswordValues(const std::vector<ConnectionProperty>& properties);

// What RedactSecrets gives instead of a text that it withholds.
extern const char* const kWithheldText;

// text with every secret that stands as a password's value (after a key
// naming a password and "=", up to the end of the value, as in "PWD=secret"
// or "Password={secret}") replaced by "***". A text that holds a secret
// anywhere else is withheld whole (kWithheldText): blanking "connect" out of
// "Can't connect to server" would show the password all the same. With more
// than 256 secrets, which no real string holds, or with the empty entry that
// says the passwords are unknown, the whole text becomes "***".
std::string RedactSecrets(std::string text, const std::vector<std::string>& secrets);

}  // namespace ado
