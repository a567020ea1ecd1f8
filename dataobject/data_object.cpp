#include "dataobject/data_object.h"

#include <apr_pools.h>
#include <apr_strings.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "logging/log.h"
#include "util/mempool.h"

namespace {

apr_status_t FreeHeapValue(void *value) {
    free(value);
    return APR_SUCCESS;
}

}  // namespace

extern "C" {

DataObject *CreateDataObject(void) {
    LogTrace("@@@ Inside CreateDataObject @@@\n");
    DataObject *dataObject = static_cast<DataObject *>(calloc(1, sizeof(DataObject)));
    if (dataObject == nullptr || !CreateChildMemPool(&dataObject->pool)) {
        LogError("\nMEMORY ALLOCATION FOR DATAOBJECT FAILED\n");
        free(dataObject);
        return nullptr;
    }
    dataObject->tableList = static_cast<Vector *>(apr_palloc(dataObject->pool, sizeof(Vector)));
    dataObject->keyHash =
        static_cast<StringHashTable *>(apr_pcalloc(dataObject->pool, sizeof(StringHashTable)));
    if (dataObject->tableList == nullptr || dataObject->keyHash == nullptr ||
        !CreateHashTable(dataObject->keyHash, 100)) {
        LogError("\nMEMORY ALLOCATION FOR DATAOBJECT FAILED\n");
        apr_pool_destroy(dataObject->pool);
        free(dataObject);
        return nullptr;
    }
    InitVector(dataObject->tableList, nullptr);
    return dataObject;
}

void FreeDataObject(DataObject *dataObject) {
    LogTrace("@@@ Inside FreeDataObject @@@\n");
    if (dataObject == nullptr) return;
    // The hash keeps its entries on the heap, outside the pool.
    FreeHashTable(dataObject->keyHash);
    apr_pool_destroy(dataObject->pool);
    free(dataObject);
}

int AppendPoolElement(Vector *list, void *element, apr_pool_t *pool) {
    if (list == nullptr || pool == nullptr) return 0;
    VectorNode *node = static_cast<VectorNode *>(apr_palloc(pool, sizeof(VectorNode)));
    if (node == nullptr) return 0;
    node->element = element;
    node->next = nullptr;
    if (list->tail != nullptr) {
        list->tail->next = node;
    } else {
        list->head = node;
    }
    list->tail = node;
    ++list->count;
    return 1;
}

void *CopyValueIntoPool(const void *value, int length, unsigned char dataType, apr_pool_t *pool) {
    if (value == nullptr || pool == nullptr) return nullptr;
    // CopyColumnValue keeps a date value in one block with inner pointers; a byte copy into
    // the pool would break them, so the heap copy is tied to the pool's life instead.
    void *copy = CopyColumnValue(value, length, dataType);
    if (copy == nullptr) return nullptr;
    apr_pool_cleanup_register(pool, copy, FreeHeapValue, apr_pool_cleanup_null);
    return copy;
}

Vector *GetTableList(DataObject *dataObject) {
    LogTrace("@@@ Inside GetTableList @@@\n");
    if (dataObject == nullptr) {
        LogError("DataObjectPtr is NULL.\n");
        return nullptr;
    }
    return dataObject->tableList;
}

int ContainsTableInDO(const char *tableName, DataObject *dataObject) {
    LogTrace("@@@ Inside ContainsTableInDO @@@\n");
    if (tableName == nullptr || dataObject == nullptr) return 0;
    for (VectorNode *n = dataObject->tableList->head; n != nullptr; n = n->next) {
        if (strcmp(static_cast<char *>(n->element), tableName) == 0) return 1;
    }
    return 0;
}

int IsDOEmpty(DataObject *dataObject) {
    LogTrace("@@@ Inside IsDOEmpty @@@\n");
    return dataObject == nullptr || dataObject->firstCollection == nullptr;
}

char **MakeColumnList(DataObject *dataObject, int n, ...) {
    LogTrace("@@@ Inside MakeColumnList @@@\n");
    if (dataObject == nullptr || n < 0) return nullptr;
    char **names = static_cast<char **>(apr_palloc(dataObject->pool, sizeof(char *) * (n + 1)));
    if (names == nullptr) return nullptr;
    va_list args;
    va_start(args, n);
    for (int i = 0; i < n; ++i) {
        const char *name = va_arg(args, const char *);
        names[i] = apr_pstrdup(dataObject->pool, name != nullptr ? name : "");
    }
    va_end(args);
    names[n] = apr_pstrdup(dataObject->pool, "");
    return names;
}

char **MakeStringColumnValuesList(DataObject *dataObject, int n, ...) {
    LogTrace("@@@ Inside MakeStringColumnValuesList @@@\n");
    if (dataObject == nullptr || n < 0) return nullptr;
    char **texts = static_cast<char **>(apr_palloc(dataObject->pool, sizeof(char *) * (n + 1)));
    if (texts == nullptr) return nullptr;
    va_list args;
    va_start(args, n);
    for (int i = 0; i < n; ++i) {
        const char *text = va_arg(args, const char *);
        texts[i] = text != nullptr ? apr_pstrdup(dataObject->pool, text) : nullptr;
    }
    va_end(args);
    return texts;
}

int *MakeLengthList(DataObject *dataObject, int n, ...) {
    LogTrace("@@@ Inside MakeLengthList @@@\n");
    if (dataObject == nullptr || n < 0) return nullptr;
    int *lengths = static_cast<int *>(apr_palloc(dataObject->pool, sizeof(int) * (n + 1)));
    if (lengths == nullptr) return nullptr;
    va_list args;
    va_start(args, n);
    for (int i = 0; i < n; ++i) lengths[i] = va_arg(args, int);
    va_end(args);
    return lengths;
}

}  // extern "C"
