/*
 * Grammar of the criteria language, generated into a pure LALR(1) parser, and ParseCriteria,
 * its entry point.
 *
 * A comparison puts the column on the left: "18 <= age" is built as age >= 18. "and" and
 * "or" share one precedence and group from the right, so "a = 1 and b = 2 or c = 3" is
 * a = 1 and (b = 2 or c = 3). There is no error recovery: the first error ends the parse,
 * and the destructors below free every text and node still on the parser's stack.
 */
%require "3.8"
%define api.pure full
%define api.prefix {criteria_yy}
%parse-param {CriteriaParseState *state} {void *scanner}
%lex-param {void *scanner}
%expect 0

%code requires {
#include "store/criteria_parse.h"
}

%code provides {
int criteria_yylex(CRITERIA_YYSTYPE *value, void *scanner);
}

%code {
#include <limits.h>
#include <stdlib.h>
#include <string.h>

static void criteria_yyerror(CriteriaParseState *state, void *scanner, const char *message);

// The stack starts with room for 200 entries and doubles up to 10000; a deeper text fails
// the parse. Its memory counts against the parse's allocations like every other block.
#define YYINITDEPTH 200
#define YYMAXDEPTH 10000
#define YYMALLOC(size) CriteriaAllocate(state, size)
#define YYFREE free

// A failed allocation gives back what the action holds (on an abort bison frees only the
// symbols below the rule being reduced) and ends the parse as out of memory.
#define COMPARISON(result, name, op, literal)                         \
    do {                                                              \
        (result) = NewComparisonNode(state, (name), (op), (literal)); \
        if ((result) == NULL) {                                       \
            free(name);                                               \
            free(literal);                                            \
            YYNOMEM;                                                  \
        }                                                             \
    } while (0)
#define LOGICAL(result, left, op, right)                          \
    do {                                                          \
        (result) = NewLogicalNode(state, (left), (op), (right)); \
        if ((result) == NULL) {                                   \
            FreeCriteriaTree(left);                               \
            FreeCriteriaTree(right);                              \
            YYNOMEM;                                              \
        }                                                         \
    } while (0)
}

%union {
    char *text;
    CriteriaNode *node;
}

%token <text> LITERAL 257
%token <text> IDENTIFIER 258
%token LT 259
%token GT 260
%token GE 261
%token LE 262
%token EQ 263
%token NE 264
%token AND 265
%token OR 266

%right AND OR

%type <node> expr

%destructor { free($$); } <text>
%destructor { FreeCriteriaTree($$); } <node>

%%

input
    : %empty
    | input expr '\n' {
          // The text ends with the one line break ParseCriteria appends. A text with a line
          // break of its own would give a second expression; taking only one of them could
          // make a delete by criteria act on part of what was asked, so the text is refused.
          if (state->root != NULL) {
              FreeCriteriaTree($2);
              criteria_yyerror(state, scanner, "syntax error");
              YYABORT;
          }
          state->root = $2;
      }
    ;

expr
    : IDENTIFIER LT LITERAL  { COMPARISON($$, $1, CRITERIA_LT, $3); }
    | IDENTIFIER GT LITERAL  { COMPARISON($$, $1, CRITERIA_GT, $3); }
    | IDENTIFIER LE LITERAL  { COMPARISON($$, $1, CRITERIA_LE, $3); }
    | IDENTIFIER GE LITERAL  { COMPARISON($$, $1, CRITERIA_GE, $3); }
    | IDENTIFIER EQ LITERAL  { COMPARISON($$, $1, CRITERIA_EQ, $3); }
    | IDENTIFIER NE LITERAL  { COMPARISON($$, $1, CRITERIA_NE, $3); }
    | LITERAL LT IDENTIFIER  { COMPARISON($$, $3, CRITERIA_GT, $1); }
    | LITERAL GT IDENTIFIER  { COMPARISON($$, $3, CRITERIA_LT, $1); }
    | LITERAL LE IDENTIFIER  { COMPARISON($$, $3, CRITERIA_GE, $1); }
    | LITERAL GE IDENTIFIER  { COMPARISON($$, $3, CRITERIA_LE, $1); }
    | LITERAL EQ IDENTIFIER  { COMPARISON($$, $3, CRITERIA_EQ, $1); }
    | LITERAL NE IDENTIFIER  { COMPARISON($$, $3, CRITERIA_NE, $1); }
    | expr AND expr          { LOGICAL($$, $1, CRITERIA_AND, $3); }
    | expr OR expr           { LOGICAL($$, $1, CRITERIA_OR, $3); }
    | '(' expr ')'           { $$ = $2; }
    ;

%%

// Nothing is logged: the callers turn a null tree into their own failure result.
static void criteria_yyerror(CriteriaParseState *state, void *, const char *message) {
    CriteriaReportError(state, strcmp(message, "memory exhausted") == 0 ? "yacc stack overflow"
                                                                       : message);
}

void *CriteriaAllocate(CriteriaParseState *state, size_t size) {
    if (state->allocationsLeft == 0) return nullptr;
    if (state->allocationsLeft > 0) --state->allocationsLeft;
    return malloc(size);
}

void CriteriaReportError(CriteriaParseState *state, const char *message) {
    if (state->error == nullptr) state->error = message;
}

CriteriaNode *ParseCriteriaText(const char *text, long allocationLimit, const char **error) {
    if (error != nullptr) *error = nullptr;
    if (text == nullptr) return nullptr;

    CriteriaParseState state;
    state.allocationsLeft = allocationLimit;
    // The scanner counts its buffer in int; a text near that size is refused, not wrapped.
    const size_t length = strlen(text);
    if (length > size_t(INT_MAX) - 16) {
        CriteriaReportError(&state, "out of memory");
    } else {
        // The text, the line break that ends the one expression, and the two zero bytes that
        // mark the end of a buffer the scanner reads in place.
        char *buffer = static_cast<char *>(CriteriaAllocate(&state, length + 3));
        if (buffer == nullptr) {
            CriteriaReportError(&state, "out of memory");
        } else {
            memcpy(buffer, text, length);
            buffer[length] = '\n';
            buffer[length + 1] = '\0';
            buffer[length + 2] = '\0';
            void *scanner = nullptr;
            if (CriteriaScanOpen(&state, buffer, length + 3, &scanner)) {
                if (criteria_yyparse(&state, scanner) != 0) {
                    CriteriaReportError(&state, "syntax error");
                }
                CriteriaScanClose(&state, scanner);
            }
            free(buffer);
        }
    }
    if (state.error != nullptr || state.root == nullptr) {
        CriteriaReportError(&state, "syntax error");
        FreeCriteriaTree(state.root);
        state.root = nullptr;
    }
    if (error != nullptr) *error = state.error;
    return state.root;
}

extern "C" CriteriaNode *ParseCriteria(const char *text) {
    return ParseCriteriaText(text, -1, nullptr);
}
