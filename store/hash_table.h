/*
 * StringHashTable: a chained hash table from text keys to the caller's pointers, with a
 * bucket count fixed at creation.
 *
 * Ownership: the table owns its entries and its copies of the keys; it never frees the
 * values. GetHashKeys returns a new array (freed by the caller with free()) of pointers to
 * the table's own key copies, valid until those keys are removed.
 *
 * Every bucket always has a first entry; an empty bucket's first entry has a null key. An
 * entry keeps its address for as long as its key is in the table, so callers may use it as
 * a lock key.
 *
 * Results: 1 done, 0 when memory runs out, an argument is null or the key is absent. The
 * table takes no lock: callers serialise changes themselves.
 */
#ifndef KV_STORE_HASH_TABLE_H
#define KV_STORE_HASH_TABLE_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HashEntry {
    char *key;   /* owned copy; null in an empty bucket's first entry */
    void *value; /* the caller's pointer, not owned */
    struct HashEntry *next;
} HashEntry;

typedef struct StringHashTable {
    int bucketCount;
    HashEntry **buckets;
} StringHashTable;

/* bucketCount 0 means 10; a negative count is refused. Nothing stays allocated on 0. */
int CreateHashTable(StringHashTable *table, int bucketCount);
/* Stores value under key (a present key gets the new value; the old one is not freed). */
int PutHashEntry(StringHashTable *table, const char *key, void *value);
int ContainsHashKey(const StringHashTable *table, const char *key);
void *GetHashValue(const StringHashTable *table, const char *key);
HashEntry *GetHashEntry(const StringHashTable *table, const char *key);
/* 1 when the key was present and is now gone with its entry and key copy. */
int RemoveHashEntry(StringHashTable *table, const char *key);
int CountHashEntries(const StringHashTable *table);
/* Keys in bucket order, then chain order, followed by a null entry; null on OOM. */
char **GetHashKeys(const StringHashTable *table);
/* Puts each source key whose value in target is null (absent) into target. */
int MergeHashTables(const StringHashTable *source, StringHashTable *target);
/* Frees every entry, key copy and the bucket array; the record can be created again. */
void FreeHashTable(StringHashTable *table);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_HASH_TABLE_H */
