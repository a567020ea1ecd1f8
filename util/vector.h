/*
 * Vector: the library's one container, a singly linked list of element pointers with a
 * count and a tail, optionally kept in ascending order without duplicates by a comparison
 * function. There is no random access: position i is reached by walking i links.
 *
 * Ownership: the vector owns its nodes (malloc'd; released with free() when deleted or when
 * the vector is freed); it never touches the elements. A node handed to AddElement or
 * InsertElementAt belongs to the vector from then on, unless AddElement refuses it (result
 * 0), when it stays the caller's. A heap vector from NewVector or CloneVector is released
 * with FreeVector and then free().
 *
 * Results: 1 done, 0 refused or not found, 99 when MergeVector runs out of memory; null
 * arguments give 0 or null.
 *
 * Locking: the operations that change the list, ElementAt and DeleteLCDVector hold
 * LockObject(vector) for their whole run. Walking the next links (and CloneVector's walk)
 * takes no lock; a caller that walks while another thread deletes must exclude it itself.
 * The lock is not recursive: a comparison function must not call a locking operation on
 * the same vector.
 */
#ifndef KV_UTIL_VECTOR_H
#define KV_UTIL_VECTOR_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VectorNode {
    void *element;
    struct VectorNode *next;
} VectorNode;

/* Called as compare(new node, existing node): positive when the new element belongs after
 * the existing one, negative when before, 0 when they are equal (the new one is refused). */
typedef signed char (*VectorCompareFn)(const VectorNode *newNode, const VectorNode *existing);

typedef struct Vector {
    VectorNode *head;
    int count;
    VectorNode *tail; /* the last node, kept right by every operation */
    VectorCompareFn compare;
} Vector;

/* Empties the record (nodes already in it are forgotten, not released) and sets compare to
 * *compareRef, or to null when compareRef is null. */
void InitVector(Vector *vector, VectorCompareFn *compareRef);
/* Logs "MEMORY_ALLOCATION_FAILURE\n" and returns null when memory runs out. */
Vector *NewVector(void);

/* 1 when added; 0 when an equal element is present (the node stays the caller's). */
int AddElement(Vector *vector, VectorNode *node);
/* Wraps the element in a new node and adds it; 0 also when the node cannot be allocated. */
int AddElementData(Vector *vector, void *element);
/* Links the node at 0 <= index <= count regardless of the comparison function. */
int InsertElementAt(Vector *vector, VectorNode *node, int index);
/* Removes and frees the node with this address. */
int DeleteElement(Vector *vector, VectorNode *node);
int DeleteElementAt(Vector *vector, int index);
/* Removes and frees the first node whose element pointer equals element. */
int DeleteLCDVector(Vector *vector, const void *element);

/* The node at index, or null when index is outside 0 .. count - 1. */
VectorNode *ElementAt(Vector *vector, int index);
/* The node n links after start, or null; takes no lock (used inside locked operations). */
VectorNode *GetNthElement(Vector *vector, int n, VectorNode *start);

/* Adds every element of source to destination (refused ones are dropped), then frees
 * source's nodes. 1, 99 when a node cannot be allocated, 0 for null or identical vectors. */
int MergeVector(Vector *destination, Vector *source);
/* A new vector without comparison function holding malloc'd copies of source's elements,
 * which must be zero-terminated strings (null elements stay null). The copies are the
 * caller's. Null on failure, after logging "Cannot clone vector.  Vector is NULL.\n" for a
 * null source or "MEMORY_ALLOCATION_FAILURE\n" when memory runs out. */
Vector *CloneVector(Vector *source);
/* Releases every node; the elements and the Vector record stay. */
void FreeVector(Vector *vector);

#ifdef __cplusplus
}
#endif

#endif /* KV_UTIL_VECTOR_H */
