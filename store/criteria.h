/*
 * The criteria language that selects rows of an in-memory table: comparisons of one column
 * with one literal ("age >= 18", "name = 'abc'", "18 <= age"), combined with lower-case
 * "and" / "or" (equal precedence, grouping from the right) and parentheses.
 *
 * ParseCriteria returns a new tree that the caller releases with FreeCriteriaTree, or null
 * when the text is null, is not one valid expression, or memory runs out. A failed parse
 * logs nothing, frees every node it made and never ends the process.
 * ResolveCriteriaColumns binds each comparison to a column of a table definition; a tree
 * evaluates against rows of that table only. EvaluateCriteria gives 1 when the row
 * satisfies the tree (a null tree is satisfied by every row), else 0.
 *
 * Locking: callers take gv_criteriaLockKey with LockObject before parsing and release it
 * with UnlockObject after evaluating and freeing the tree; the functions here take no lock
 * themselves (the lock is not recursive), and a tree belongs to one thread at a time.
 */
#ifndef KV_STORE_CRITERIA_H
#define KV_STORE_CRITERIA_H

#include "store/row_object.h"
#include "util/vector.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Operator codes of a CriteriaNode. */
enum {
    CRITERIA_LT = 1,
    CRITERIA_GT = 2,
    CRITERIA_LE = 3,
    CRITERIA_GE = 4,
    CRITERIA_EQ = 5,
    CRITERIA_NE = 6,
    CRITERIA_AND = 7,
    CRITERIA_OR = 8
};

/* A comparison node has a column name and a literal and no operands; a logical node (AND,
 * OR) has both operands and neither text. */
typedef struct CriteriaNode {
    char *columnName;          /* owned; null in a logical node */
    char *literal;             /* owned, as written (a text literal keeps its quotes) */
    unsigned char op;          /* CRITERIA_LT .. CRITERIA_OR, the column on the left */
    unsigned char columnIndex; /* set by ResolveCriteriaColumns, 0 until then */
    unsigned char columnType;  /* the column's data type code, 0 when unbound */
    struct CriteriaNode *left; /* operands of a logical node */
    struct CriteriaNode *right;
    struct CriteriaNode *parent; /* null for the root */
} CriteriaNode;

/* The lock key that serialises every parse and evaluation of criteria in the library. */
extern const void *const gv_criteriaLockKey;

CriteriaNode *ParseCriteria(const char *text);
/* columns: a table definition's Vector of ColumnDefn. Each comparison takes the first
 * column whose name equals its own ignoring ASCII case; a name that matches none, or a
 * column past position 255 (beyond the one-byte index), leaves index and type 0, and such
 * a comparison is false for every row. Returns 1. */
int ResolveCriteriaColumns(Vector *columns, CriteriaNode *tree);
int EvaluateCriteria(const RowObject *row, const CriteriaNode *tree);
void FreeCriteriaTree(CriteriaNode *tree);

/* A bound tree prepared for many rows: every literal converted to its column's form once.
 * EvaluateCriteriaPlan judges a row exactly as EvaluateCriteria judges it with the tree (a
 * null tree prepares a plan that every row satisfies). The plan refers to the tree's texts:
 * free it (FreeCriteriaPlan) before the tree, and rebind nothing in between. Null when
 * memory runs out. Used under the criteria lock like the tree. */
typedef struct CriteriaPlan CriteriaPlan;
CriteriaPlan *PrepareCriteria(const CriteriaNode *tree);
int EvaluateCriteriaPlan(const RowObject *row, const CriteriaPlan *plan);
void FreeCriteriaPlan(CriteriaPlan *plan);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_CRITERIA_H */
