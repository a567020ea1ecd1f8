/*
 * The data-store library's start-up and shutdown: the one entry point a host program calls
 * before any other library call (InitTamber) and the one it calls at the end (DeInitTamber).
 *
 * InitTamber sets the root folder, opens the library's log ("<root>/logs/tamber.log"),
 * starts the memory pools and the database provider, loads the data dictionary, the data
 * source map ("..\data\dsn_table_map.txt", then "<root>/data/dsn_table_map.txt") and the
 * connection parameters (connparams.txt, likewise), opens the connections, creates every
 * table when the database is new, starts the sequence generator, loads the tables of
 * loadtablelist.txt and stores the default data into a new database. A failing step is logged
 * and ends the start-up with 0, leaving the steps done so far in place (DeInitTamber releases
 * them); GetInitTamberFailure then names the step.
 *
 * The first connection entry's dialect decides how statements are written: each table in the
 * dialect of its own connection when the entry names MYSQL, PGSQL, FIREBIRD or SQLITE (in any
 * case), whether it connects by data source name or by a full connection string; the default
 * dialect, MYSQL, for every table otherwise.
 *
 * The root text is kept by reference: it must stay valid while the library runs.
 *
 * Threads: InitTamber and DeInitTamber run on one thread while no other thread uses the
 * library. The per-object lock works from program start, so the library needs no mutex set up
 * by the command-line tool.
 */
#ifndef KV_PERSIST_TAMBER_INIT_H
#define KV_PERSIST_TAMBER_INIT_H

#ifdef __cplusplus
extern "C" {
#endif

/* Sets the root folder; null keeps the previous one ("Default Path Used"). */
void SetTamberRoot(const char *path);
/* Starts the library on the data folder "<root>/data"; 1, or 0 when a step fails. */
int InitTamber(const char *root);
/* Releases what InitTamber set up, in reverse; the loaded providers stay for a later start. */
void DeInitTamber(void);
/* The name of the step that ended the last InitTamber with 0 ("OpenLogAppend",
 * "InitializeMemPool", "LoadAllDataDictFiles", "LoadDataSourceMapEntryFromFile",
 * "LoadConnParamsEntryFromFile", "ConnParamsEntry", "EstablishDBConnections",
 * "SequenceGenerator", "SaveDefaultData"); null after a successful start. */
const char *GetInitTamberFailure(void);

/* A release step of a layer built on the library (such as its personality list), which
 * DeInitTamber runs first, latest registered first, and then forgets. Registering a step
 * that is already registered changes nothing. 1, or 0 for null or when all
 * TAMBER_SHUTDOWN_HOOKS places are taken. Called on the thread that starts the library. */
enum { TAMBER_SHUTDOWN_HOOKS = 8 };
typedef void (*TamberShutdownHook)(void);
int RegisterTamberShutdownHook(TamberShutdownHook hook);

#ifdef __cplusplus
}
#endif

#endif /* KV_PERSIST_TAMBER_INIT_H */
