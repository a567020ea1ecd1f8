// Internal to the criteria language, not part of the library's interface: the state that one
// parse shares between the generated scanner (criteria_scanner.l), the generated parser
// (criteria_grammar.y) and the tree code (criteria.cpp).
//
// Each parse has its own state and scanner, so parses need no lock of their own; the
// library still serialises them under gv_criteriaLockKey (see criteria.h).
//
// Every allocation a parse makes goes through CriteriaAllocate, so that the tests can make
// the n-th one fail and see that each out-of-memory path gives null and frees everything.
#ifndef KV_STORE_CRITERIA_PARSE_H
#define KV_STORE_CRITERIA_PARSE_H

#include <stddef.h>

#include "store/criteria.h"

struct CriteriaParseState {
    CriteriaNode *root = nullptr;  // the accepted expression, owned here until handed out
    const char *error = nullptr;   // the first failure reported, or null
    long allocationsLeft = -1;     // below 0: no limit
    void *scanBlocks = nullptr;    // the scanner's live blocks (criteria_scanner.l)
};

// Parses text as ParseCriteria does. allocationLimit >= 0 lets that many allocations succeed
// and fails the rest. *error (when error is not null) gets the first failure: "invalid
// syntax" (a character no token takes), "syntax error", "yacc stack overflow" (the parser's
// stack is full or memory ran out), "out of memory", a scanner message, or null on success.
CriteriaNode *ParseCriteriaText(const char *text, long allocationLimit, const char **error);

// malloc, counted against the parse's allocation limit.
void *CriteriaAllocate(CriteriaParseState *state, size_t size);
// Records message as the parse's failure unless one is recorded already.
void CriteriaReportError(CriteriaParseState *state, const char *message);

// Scanner over buffer, whose last two of size bytes are zero; false (with the failure
// reported) when it cannot be set up. CriteriaScanClose releases everything it allocated.
bool CriteriaScanOpen(CriteriaParseState *state, char *buffer, size_t size, void **scanner);
void CriteriaScanClose(CriteriaParseState *state, void *scanner);

// Node builders for the grammar's actions: on success the node takes over the texts (or the
// operands, whose parent it becomes); null when memory runs out, leaving them the caller's.
CriteriaNode *NewComparisonNode(CriteriaParseState *state, char *columnName, unsigned char op,
                                char *literal);
CriteriaNode *NewLogicalNode(CriteriaParseState *state, CriteriaNode *left, unsigned char op,
                             CriteriaNode *right);

#endif  // KV_STORE_CRITERIA_PARSE_H
