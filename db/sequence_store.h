/*
 * The database side of the sequence generator (store/sequence_generator.h): reserving a
 * batch of a sequence in the table SeqGenState (SEQNAME text, CURRENTBATCHEND integer) of the
 * database that holds a table.
 *
 * A reservation is one transaction that first moves CURRENTBATCHEND on in place (which locks
 * the row, or on SQLite the database, until the commit) and then reads the new end, so
 * processes sharing a database never get overlapping batches. A sequence without a row gets
 * one (name, batchSize); on PostgreSQL the table is locked first so that two processes cannot
 * both insert it. A reservation that fails (a refused statement, a commit that does not go
 * through, a conflicting insert) is rolled back and tried again, at most
 * SEQUENCE_STORE_ATTEMPTS times; a missing SeqGenState table is not retried. Run inside a
 * transaction the caller holds on the same connection, the statements join it instead.
 *
 * Every failure is logged; the connection handle is released on every path. Callable from
 * any thread (each uses its own pooled connection).
 */
#ifndef KV_DB_SEQUENCE_STORE_H
#define KV_DB_SEQUENCE_STORE_H

#ifdef __cplusplus
extern "C" {
#endif

enum { SEQUENCE_STORE_ATTEMPTS = 3 };

/* A SeqGenReserveFn: 1 with *batchEnd the last number reserved, or 0. */
int ReserveSeqGenBatch(const char *tableName, const char *sequenceName, int batchSize,
                       int *batchEnd);
/* Makes ReserveSeqGenBatch the generator's reservation; called at start-up before
 * SequenceGenerator. */
void RegisterSequenceStore(void);

#ifdef __cplusplus
}
#endif

#endif /* KV_DB_SEQUENCE_STORE_H */
