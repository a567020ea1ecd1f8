// Vector: see vector.h for the contract.
#include "util/vector.h"

#include <stdlib.h>
#include <string.h>

#include <vector>

#include "logging/log.h"
#include "util/lock.h"
#include "util/strings.h"

namespace {

// The last node; the tail field is kept right by every operation, the walk only guards a
// record whose fields a caller set by hand.
VectorNode *LastNode(Vector *vector) {
    if (vector->tail != nullptr || vector->head == nullptr) return vector->tail;
    VectorNode *node = vector->head;
    while (node->next != nullptr) node = node->next;
    return node;
}

// Removes node (whose predecessor is previous, or null for the head) and frees it. The
// caller holds the vector's lock.
void UnlinkLocked(Vector *vector, VectorNode *previous, VectorNode *node) {
    if (previous == nullptr) {
        vector->head = node->next;
    } else {
        previous->next = node->next;
    }
    if (node->next == nullptr) vector->tail = previous;
    --vector->count;
    if (vector->head == nullptr) {
        vector->tail = nullptr;
        vector->count = 0;
    }
    free(node);
}

// Sorted insertion: bisection over positions, each probe walking from the left bound. It
// saves comparisons, not steps. The caller holds the lock; the vector is not empty.
int AddSortedLocked(Vector *vector, VectorNode *node) {
    VectorNode *left = vector->head;
    int lo = 0, hi = vector->count;
    while (hi - lo > 1) {
        int mid = lo + (hi - lo + 1) / 2;
        VectorNode *probe = GetNthElement(vector, mid - lo, left);
        if (probe == nullptr) break;  // the count overstates the list; insert near left
        signed char r = vector->compare(node, probe);
        if (r == 0) return 0;
        if (r > 0) {
            lo = mid;
            left = probe;
        } else {
            hi = mid;
        }
    }
    // Every probe so far put the node after left, except when left is still the head.
    if (left == vector->head) {
        signed char r = vector->compare(node, left);
        if (r == 0) return 0;
        if (r < 0) {
            node->next = left;
            vector->head = node;
            ++vector->count;
            return 1;
        }
    }
    node->next = left->next;
    left->next = node;
    if (node->next == nullptr) vector->tail = node;
    ++vector->count;
    return 1;
}

void FreeNodesLocked(Vector *vector) {
    VectorNode *node = vector->head;
    while (node != nullptr) {
        VectorNode *next = node->next;
        free(node);
        node = next;
    }
    vector->head = nullptr;
    vector->tail = nullptr;
    vector->count = 0;
}

void FreeCloneAndElements(Vector *clone) {
    for (VectorNode *node = clone->head; node != nullptr; node = node->next) free(node->element);
    FreeVector(clone);
    free(clone);
}

}  // namespace

extern "C" {

void InitVector(Vector *vector, VectorCompareFn *compareRef) {
    LogTrace("@@@ Inside InitVector @@@\n");
    if (vector == nullptr) return;
    vector->head = nullptr;
    vector->count = 0;
    vector->tail = nullptr;
    vector->compare = compareRef != nullptr ? *compareRef : nullptr;
}

Vector *NewVector(void) {
    Vector *vector = static_cast<Vector *>(malloc(sizeof(Vector)));
    if (vector == nullptr) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return nullptr;
    }
    InitVector(vector, nullptr);
    return vector;
}

int AddElement(Vector *vector, VectorNode *node) {
    LogTrace("@@@ Inside AddElement @@@\n");
    if (vector == nullptr || node == nullptr) return 0;
    ObjectLock lock(vector);
    node->next = nullptr;
    if (vector->head == nullptr) {
        vector->head = node;
        vector->tail = node;
        vector->count = 1;
        return 1;
    }
    if (vector->compare != nullptr) return AddSortedLocked(vector, node);
    LastNode(vector)->next = node;
    vector->tail = node;
    ++vector->count;
    return 1;
}

int AddElementData(Vector *vector, void *element) {
    if (vector == nullptr) return 0;
    VectorNode *node = static_cast<VectorNode *>(malloc(sizeof(VectorNode)));
    if (node == nullptr) return 0;
    node->element = element;
    node->next = nullptr;
    if (AddElement(vector, node) == 1) return 1;
    free(node);
    return 0;
}

int InsertElementAt(Vector *vector, VectorNode *node, int index) {
    LogTrace("@@@ Inside InsertElementAt @@@\n");
    if (vector == nullptr || node == nullptr) return 0;
    ObjectLock lock(vector);
    if (index < 0 || index > vector->count) return 0;
    if (index == 0) {
        node->next = vector->head;
        vector->head = node;
        if (node->next == nullptr) vector->tail = node;
    } else if (index == vector->count) {
        node->next = nullptr;
        LastNode(vector)->next = node;
        vector->tail = node;
    } else {
        VectorNode *previous = GetNthElement(vector, index - 1, vector->head);
        if (previous == nullptr) return 0;
        node->next = previous->next;
        previous->next = node;
        if (node->next == nullptr) vector->tail = node;
    }
    ++vector->count;
    return 1;
}

int DeleteElement(Vector *vector, VectorNode *node) {
    LogTrace("@@@ Inside DeleteElement @@@\n");
    if (vector == nullptr || node == nullptr) return 0;
    ObjectLock lock(vector);
    VectorNode *previous = nullptr;
    for (VectorNode *at = vector->head; at != nullptr; previous = at, at = at->next) {
        if (at == node) {
            UnlinkLocked(vector, previous, at);
            return 1;
        }
    }
    return 0;
}

int DeleteElementAt(Vector *vector, int index) {
    LogTrace("@@@ Inside DeleteElementAt @@@\n");
    if (vector == nullptr) return 0;
    ObjectLock lock(vector);
    if (index < 0 || index >= vector->count || vector->head == nullptr) return 0;
    VectorNode *previous = index > 0 ? GetNthElement(vector, index - 1, vector->head) : nullptr;
    VectorNode *node = previous != nullptr ? previous->next : vector->head;
    if (index > 0 && node == nullptr) return 0;
    UnlinkLocked(vector, previous, node);
    return 1;
}

int DeleteLCDVector(Vector *vector, const void *element) {
    LogTrace("@@@ Inside DeleteLCDVector @@@\n");
    if (vector == nullptr) return 0;
    // Finding and unlinking under one lock hold: a position found first and deleted later
    // could name another node once a second thread has changed the list in between.
    ObjectLock lock(vector);
    VectorNode *previous = nullptr;
    for (VectorNode *at = vector->head; at != nullptr; previous = at, at = at->next) {
        if (at->element == element) {
            UnlinkLocked(vector, previous, at);
            return 1;
        }
    }
    return 0;
}

VectorNode *ElementAt(Vector *vector, int index) {
    LogTrace("@@@ Inside ElementAt @@@\n");
    if (vector == nullptr) return nullptr;
    ObjectLock lock(vector);
    return GetNthElement(vector, index, vector->head);
}

VectorNode *GetNthElement(Vector *vector, int n, VectorNode *start) {
    LogTrace("@@@ Inside GetNthElement @@@\n");
    if (vector == nullptr || start == nullptr || n < 0 || n >= vector->count) return nullptr;
    VectorNode *node = start;
    for (int i = 0; i < n && node != nullptr; ++i) node = node->next;
    return node;
}

int MergeVector(Vector *destination, Vector *source) {
    LogTrace("@@@ Inside MergeVector @@@\n");
    if (destination == nullptr || source == nullptr || destination == source) return 0;
    // Take the elements under source's lock, then add them with it released, so two merges
    // in opposite directions cannot wait on each other.
    std::vector<void *> elements;
    {
        ObjectLock lock(source);
        for (VectorNode *node = source->head; node != nullptr; node = node->next) {
            elements.push_back(node->element);
        }
    }
    for (void *element : elements) {
        VectorNode *node = static_cast<VectorNode *>(malloc(sizeof(VectorNode)));
        if (node == nullptr) return 99;
        node->element = element;
        node->next = nullptr;
        if (AddElement(destination, node) != 1) free(node);
    }
    FreeVector(source);
    return 1;
}

Vector *CloneVector(Vector *source) {
    LogTrace("@@@ Inside CloneVector @@@\n");
    if (source == nullptr) {
        LogError("Cannot clone vector.  Vector is NULL.\n");
        return nullptr;
    }
    Vector *clone = NewVector();
    if (clone == nullptr) return nullptr;
    for (VectorNode *node = source->head; node != nullptr; node = node->next) {
        char *copy = nullptr;
        const char *text = static_cast<const char *>(node->element);
        if (text != nullptr && AllocCopyBytes(&copy, text, strlen(text)) != 1) {
            FreeCloneAndElements(clone);
            return nullptr;
        }
        if (AddElementData(clone, copy) != 1) {
            LogError("MEMORY_ALLOCATION_FAILURE\n");
            free(copy);
            FreeCloneAndElements(clone);
            return nullptr;
        }
    }
    return clone;
}

void FreeVector(Vector *vector) {
    LogTrace("@@@ Inside FreeVector @@@\n");
    if (vector == nullptr) return;
    ObjectLock lock(vector);
    FreeNodesLocked(vector);
}

}  // extern "C"
