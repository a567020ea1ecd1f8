/*
 * Registration of ODBC data sources through the ODBC installer library, one by one or from
 * a file of definitions.
 *
 * CreateDSN hands the driver the attributes DSN, DESCRIPTION, SERVER, UID, PWD and DATABASE
 * (each left out when its value is null or "NULL" in any case) through SQLConfigDataSource.
 * A driver installed without a setup routine of its own (the case of every driver packaged
 * for unixODBC) makes that call fail; the data source is then written to the user's ODBC
 * ini through the same installer library, as such a routine would have done. A driver that
 * is not installed is refused. Which files the installer reads and writes follows its own
 * rules (on unixODBC: ODBCINI, and ODBCSYSINI as first seen by the process: unixODBC keeps
 * that folder for the life of the process).
 *
 * The definition file holds one data source a line: six white-space-separated tokens (DSN,
 * description, server, user name, password, database; "NULL" in any case for none), then
 * the driver's name as installed: the rest of the line, leading blanks skipped. A token
 * longer than 255 characters or a driver name longer than 254 refuses that line.
 *
 * Results: 1 for success, 0 for failure, logged at error level; nothing is thrown.
 * Passwords are never logged. The installer library is not thread-safe: call these from
 * one thread, at set-up.
 */
#ifndef KV_DB_ODBC_DSN_H
#define KV_DB_ODBC_DSN_H

#ifdef __cplusplus
extern "C" {
#endif

/* Registers every data source listed in the file; 0 only when it cannot be opened (a line
 * that fails is logged and skipped). */
int CreateDSNFromFile(const char *path);
/* Registers one data source; dsn and driverName are required. */
int CreateDSN(const char *dsn, const char *description, const char *server, const char *userId,
              const char *password, const char *database, const char *driverName);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_ODBC_DSN_H */
