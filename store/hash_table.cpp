// String hash table; see hash_table.h for the contract.
#include "store/hash_table.h"

#include <stdlib.h>
#include <string.h>

#include "util/strings.h"

namespace {

constexpr int kDefaultBuckets = 10;

// h = (h * 26 + c) mod buckets over the key's bytes taken as unsigned (0 to 255), so
// bytes above 127 cannot drive h negative and index before the bucket array.
int BucketOf(const StringHashTable *table, const char *key) {
    unsigned long long h = 0;
    const unsigned long long buckets = static_cast<unsigned long long>(table->bucketCount);
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(key); *p != '\0'; ++p) {
        h = (h * 26 + *p) % buckets;
    }
    return static_cast<int>(h);
}

bool Usable(const StringHashTable *table, const char *key) {
    return table != nullptr && table->buckets != nullptr && table->bucketCount > 0 &&
           key != nullptr;
}

// The entry holding key, with its predecessor in the chain (null for the first entry).
HashEntry *Find(const StringHashTable *table, const char *key, HashEntry **previous) {
    if (previous != nullptr) *previous = nullptr;
    if (!Usable(table, key)) return nullptr;
    HashEntry *before = nullptr;
    for (HashEntry *entry = table->buckets[BucketOf(table, key)]; entry != nullptr;
         before = entry, entry = entry->next) {
        if (entry->key != nullptr && strcmp(entry->key, key) == 0) {
            if (previous != nullptr) *previous = before;
            return entry;
        }
    }
    return nullptr;
}

}  // namespace

extern "C" {

int CreateHashTable(StringHashTable *table, int bucketCount) {
    if (table == nullptr) return 0;
    table->bucketCount = 0;
    table->buckets = nullptr;
    if (bucketCount < 0) return 0;
    if (bucketCount == 0) bucketCount = kDefaultBuckets;
    HashEntry **buckets =
        static_cast<HashEntry **>(calloc(size_t(bucketCount), sizeof(HashEntry *)));
    if (buckets == nullptr) return 0;
    for (int i = 0; i < bucketCount; ++i) {
        buckets[i] = static_cast<HashEntry *>(calloc(1, sizeof(HashEntry)));
        if (buckets[i] == nullptr) {
            for (int j = 0; j < i; ++j) free(buckets[j]);
            free(buckets);
            return 0;
        }
    }
    table->bucketCount = bucketCount;
    table->buckets = buckets;
    return 1;
}

int PutHashEntry(StringHashTable *table, const char *key, void *value) {
    if (!Usable(table, key)) return 0;
    HashEntry *existing = Find(table, key, nullptr);
    if (existing != nullptr) {
        existing->value = value;
        return 1;
    }
    char *copy = nullptr;
    if (AllocCopyString(&copy, key) != 1) return 0;
    HashEntry *first = table->buckets[BucketOf(table, key)];
    if (first->key == nullptr) {
        first->key = copy;
        first->value = value;
        return 1;
    }
    HashEntry *entry = static_cast<HashEntry *>(calloc(1, sizeof(HashEntry)));
    if (entry == nullptr) {
        free(copy);
        return 0;
    }
    entry->key = copy;
    entry->value = value;
    HashEntry *last = first;
    while (last->next != nullptr) last = last->next;
    last->next = entry;
    return 1;
}

int ContainsHashKey(const StringHashTable *table, const char *key) {
    return Find(table, key, nullptr) != nullptr;
}

void *GetHashValue(const StringHashTable *table, const char *key) {
    HashEntry *entry = Find(table, key, nullptr);
    return entry != nullptr ? entry->value : nullptr;
}

HashEntry *GetHashEntry(const StringHashTable *table, const char *key) {
    return Find(table, key, nullptr);
}

int RemoveHashEntry(StringHashTable *table, const char *key) {
    HashEntry *previous = nullptr;
    HashEntry *entry = Find(table, key, &previous);
    if (entry == nullptr) return 0;
    free(entry->key);
    entry->key = nullptr;
    entry->value = nullptr;
    if (previous != nullptr) {
        previous->next = entry->next;
        free(entry);
    } else if (entry->next != nullptr) {
        // The next entry becomes the bucket's first by relinking, not by copying it over,
        // so the entry of every remaining key keeps its address.
        table->buckets[BucketOf(table, key)] = entry->next;
        free(entry);
    }
    return 1;
}

int CountHashEntries(const StringHashTable *table) {
    if (table == nullptr || table->buckets == nullptr) return 0;
    int count = 0;
    for (int i = 0; i < table->bucketCount; ++i) {
        for (HashEntry *entry = table->buckets[i]; entry != nullptr; entry = entry->next) {
            count += entry->key != nullptr;
        }
    }
    return count;
}

char **GetHashKeys(const StringHashTable *table) {
    int count = CountHashEntries(table);
    char **keys = static_cast<char **>(calloc(size_t(count) + 1, sizeof(char *)));
    if (keys == nullptr || count == 0) return keys;
    int at = 0;
    for (int i = 0; i < table->bucketCount; ++i) {
        for (HashEntry *entry = table->buckets[i]; entry != nullptr; entry = entry->next) {
            if (entry->key != nullptr) keys[at++] = entry->key;
        }
    }
    return keys;
}

int MergeHashTables(const StringHashTable *source, StringHashTable *target) {
    if (source == nullptr || target == nullptr || source->buckets == nullptr) return 0;
    if (source == target) return 1;
    for (int i = 0; i < source->bucketCount; ++i) {
        for (HashEntry *entry = source->buckets[i]; entry != nullptr; entry = entry->next) {
            if (entry->key == nullptr || GetHashValue(target, entry->key) != nullptr) continue;
            if (PutHashEntry(target, entry->key, entry->value) != 1) return 0;
        }
    }
    return 1;
}

void FreeHashTable(StringHashTable *table) {
    if (table == nullptr || table->buckets == nullptr) return;
    for (int i = 0; i < table->bucketCount; ++i) {
        HashEntry *entry = table->buckets[i];
        while (entry != nullptr) {
            HashEntry *next = entry->next;
            free(entry->key);
            free(entry);
            entry = next;
        }
    }
    free(table->buckets);
    table->buckets = nullptr;
    table->bucketCount = 0;
}

}  // extern "C"
