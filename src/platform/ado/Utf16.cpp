// UTF-8 <-> UTF-16 conversion for the ODBC wide API (to be written).
