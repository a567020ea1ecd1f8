/*
 * Memory pools over APR. InitializeMemPool and TerminateMemPool bracket the pools' life
 * with a use count: the first start creates the root pool, the last end destroys it (and
 * every pool made from it). Both are thread-safe.
 *
 * The root pool's allocator carries a mutex, so child pools may be created and destroyed
 * from several threads at once. A single pool is not thread-safe: each thread allocates
 * from a child pool of its own. Everything allocated from a pool is freed at once by
 * destroying that pool (apr_pool_destroy).
 */
#ifndef KV_UTIL_MEMPOOL_H
#define KV_UTIL_MEMPOOL_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct apr_pool_t apr_pool_t;

/* 1 when the pools are ready (the first call creates them), 0 when APR cannot start. */
int InitializeMemPool(void);
/* Ends one use; the last one destroys the root pool. Extra calls are ignored. */
void TerminateMemPool(void);

/* The root pool, or null while the pools are not started. */
apr_pool_t *GetRootMemPool(void);
/* *pool := a new child of the root pool: 1, or 0 (with *pool null) when the pools are
 * not started or memory runs out. The caller destroys it with apr_pool_destroy. */
int CreateChildMemPool(apr_pool_t **pool);

#ifdef __cplusplus
}
#endif

#endif /* KV_UTIL_MEMPOOL_H */
