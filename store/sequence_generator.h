/*
 * The sequence generator: numbers for auto-generated columns. Each named sequence is one row
 * (SEQNAME, CURRENTBATCHEND) of the database table SeqGenState; the generator reserves 300
 * numbers at a time there and hands them out from memory, from the batch table (a string
 * hash table of 50 buckets: sequence name -> the batch's next and last number).
 *
 * The reservation itself is the database layer's: it registers a SeqGenReserveFn at start-up
 * (the store cannot depend on it). The reservation is atomic: processes sharing a database
 * never get overlapping batches.
 *
 * Results: GenerateID and GenerateInstanceID return the number, or -1 when the sequence has
 * no batch or a renewal still fails after SEQGEN_RENEW_ATTEMPTS tries (logged). Others 1 / 0.
 * Numbers of a batch not used up when the process ends are never handed out.
 *
 * Locking: SequenceGenerator holds the batch table's own lock (LockObject on the table)
 * around each reservation; GenerateID holds the lock of the sequence's hash entry while it
 * takes a number or renews the batch, so threads never share a number. GenerateInstanceID
 * takes no lock: one thread at a time. Entries are added at start-up only; lookups take no
 * lock.
 */
#ifndef KV_STORE_SEQUENCE_GENERATOR_H
#define KV_STORE_SEQUENCE_GENERATOR_H

#include "store/column_defn.h"
#include "store/hash_table.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { SEQGEN_BATCH_SIZE = 300, SEQGEN_BUCKETS = 50, SEQGEN_RENEW_ATTEMPTS = 3 };

/* The value of a batch-table entry; replaced, not updated, when a batch is reserved. */
typedef struct SeqGenBatch {
    int next; /* the next number to hand out */
    int last; /* the batch is used up when next > last */
} SeqGenBatch;

/* Reserves batchSize numbers of the sequence in the database holding tableName (the default
 * connection for null) in one atomic step and stores the last of them in *batchEnd (the
 * batch is *batchEnd - batchSize + 1 .. *batchEnd); 1, or 0 after logging the failure. */
typedef int (*SeqGenReserveFn)(const char *tableName, const char *sequenceName, int batchSize,
                               int *batchEnd);
/* Registers the reservation (null unregisters); without one every reservation fails. */
void SetSeqGenReserveFn(SeqGenReserveFn reserve);

/* The batch table: created empty with 50 buckets; freed with every record and key. */
int InitSeqGenTable(void);
void FreeSeqGenTable(void);
/* The batch table itself (for inspection). */
StringHashTable *GetSeqGenTable(void);

/* Reserves a first batch for every generator column of every table definition; 0 when it
 * meets a definition without columns (the tables after it get no batch). */
int SequenceGenerator(void);
/* Reserves the sequence's next batch through the table's connection and stores it. */
int UpdateSeqGen(const char *tableName, const char *sequenceName);
/* The next number of the column's sequence (its generator name). */
int GenerateID(const char *tableName, const ColumnDefn *columnDefn);
/* The next number of the sequence "INSTANCE_ID", renewed through the default connection. */
int GenerateInstanceID(void);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_SEQUENCE_GENERATOR_H */
