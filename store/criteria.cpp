// Criteria trees: building, binding to columns, evaluating against rows and freeing; see
// criteria.h for the contract. The text is turned into a tree in criteria_grammar.y.
#include "store/criteria.h"

#include <stdlib.h>
#include <string.h>

#include "store/column_defn.h"
#include "store/criteria_parse.h"

namespace {

const char criteriaLock = 0;

// The column index is one byte; a column past it cannot be bound.
constexpr int kMaxColumnIndex = 255;

bool SameNameIgnoringCase(const char *a, const char *b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a);
        unsigned char y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
        if (x == '\0') return true;
    }
}

void Bind(Vector *columns, CriteriaNode *node) {
    if (node == nullptr) return;
    Bind(columns, node->left);
    Bind(columns, node->right);
    if (node->left != nullptr || node->right != nullptr) return;
    node->columnIndex = 0;
    node->columnType = VEL_SQL_NOT_SUPPORTED_TYPE;
    if (node->columnName == nullptr || columns == nullptr) return;
    int position = 0;
    for (VectorNode *entry = columns->head; entry != nullptr && position <= kMaxColumnIndex;
         entry = entry->next, ++position) {
        const ColumnDefn *column = static_cast<const ColumnDefn *>(entry->element);
        if (column != nullptr && column->name != nullptr &&
            SameNameIgnoringCase(column->name, node->columnName)) {
            node->columnIndex = static_cast<unsigned char>(position);
            node->columnType = column->dataType;
            return;
        }
    }
}

// The row value on the left, the literal on the right.
template <typename T>
bool Holds(T left, unsigned char op, T right) {
    switch (op) {
        case CRITERIA_LT:
            return left < right;
        case CRITERIA_GT:
            return left > right;
        case CRITERIA_LE:
            return left <= right;
        case CRITERIA_GE:
            return left >= right;
        case CRITERIA_EQ:
            return left == right;
        case CRITERIA_NE:
            return left != right;
        default:
            return false;
    }
}

bool IsStoredIntegerWidth(int length) {
    return length == 1 || length == 2 || length == 4 || length == 8;
}

bool ReadSingle(const void *value, int length, float *out) {
    if (length == int(sizeof(float))) {
        memcpy(out, value, sizeof(float));
        return true;
    }
    if (length == int(sizeof(double))) {
        double wide;
        memcpy(&wide, value, sizeof wide);
        *out = static_cast<float>(wide);
        return true;
    }
    return false;
}

bool IsText(unsigned char type) {
    return type == VEL_SQL_CHAR || type == VEL_SQL_VARCHAR || type == VEL_SQL_TEXT;
}

bool IsInteger(unsigned char type) {
    return type >= VEL_SQL_TINYINT && type <= VEL_SQL_BIGINT;
}

bool IsUnsigned(unsigned char type) {
    return type == VEL_SQL_UNSIGNED_TINYINT || type == VEL_SQL_UNSIGNED_SMALLINT ||
           type == VEL_SQL_UNSIGNED_INT;
}

// One comparison with its literal already in the column's form. Building it converts the
// literal; comparing a row against it converts nothing, so a select over many rows converts
// each literal once while judging every row exactly as a fresh conversion would.
struct Comparison {
    enum Kind : unsigned char { kNever, kText, kInteger, kFloat } kind;
    unsigned char op;
    unsigned char type;
    unsigned char columnIndex;
    const char *text;  // kText: the literal without its quotes
    size_t textLength;
    long long integer;  // kInteger: the converted literal read at its stored width
    float single;       // kFloat
};

// False only when memory runs out.
bool BuildComparison(const CriteriaNode *node, Comparison *out) {
    *out = Comparison{};
    out->kind = Comparison::kNever;
    out->op = node->op;
    out->type = node->columnType;
    out->columnIndex = node->columnIndex;
    const char *literal = node->literal;
    if (literal == nullptr) return true;
    const unsigned char type = node->columnType;
    if (IsText(type)) {
        // Only a quoted literal loses its quotes: a number written bare is compared as written.
        size_t length = strlen(literal);
        if (length >= 2 && literal[0] == '\'' && literal[length - 1] == '\'') {
            ++literal;
            length -= 2;
        }
        out->kind = Comparison::kText;
        out->text = literal;
        out->textLength = length;
        return true;
    }
    // Other types (wide unsigned, double, real, decimal, date and time, boolean, blobs, and 0
    // for an unbound column) match nothing.
    if (!IsInteger(type) && type != VEL_SQL_FLOAT) return true;
    int length = int(strlen(literal));
    void *converted = ConvertStringToColumnValue(literal, &length, type);
    if (converted == nullptr) return false;
    if (IsInteger(type)) {
        if (IsStoredIntegerWidth(length)) {
            out->kind = Comparison::kInteger;
            out->integer = ReadStoredInteger(converted, length, type);
        }
    } else if (ReadSingle(converted, length, &out->single)) {
        out->kind = Comparison::kFloat;
    }
    free(converted);
    return true;
}

// Byte by byte, case-sensitively, a shorter text before any longer one it begins. A null
// value comes before every text.
bool CompareText(const void *value, int length, const Comparison &c) {
    if (value == nullptr) return Holds(0, c.op, 1);
    const char *text = static_cast<const char *>(value);
    size_t textLength = length > 0 ? strnlen(text, size_t(length)) : 0;
    size_t common = textLength < c.textLength ? textLength : c.textLength;
    int order = memcmp(text, c.text, common);
    if (order == 0) order = (textLength > c.textLength) - (textLength < c.textLength);
    return Holds(order, c.op, 0);
}

// Integers are read at the width they were stored with: a row may hold a 4-byte value in a
// narrower or wider column (generated ids are always 4 bytes), and reading the column's own
// width would read the wrong bytes or past the value.
bool CompareInteger(const void *value, int length, const Comparison &c) {
    if (!IsStoredIntegerWidth(length)) return false;
    long long left = ReadStoredInteger(value, length, c.type);
    if (IsUnsigned(c.type)) {
        return Holds(static_cast<unsigned long long>(left), c.op,
                     static_cast<unsigned long long>(c.integer));
    }
    return Holds(left, c.op, c.integer);
}

// A NULL value of a column that is not text makes every comparison false.
bool Judge(const RowObject *row, const Comparison &c) {
    if (c.kind == Comparison::kNever || row == nullptr || row->values == nullptr ||
        row->lengths == nullptr) {
        return false;
    }
    const void *value = row->values[c.columnIndex];
    const int length = row->lengths[c.columnIndex];
    switch (c.kind) {
        case Comparison::kText:
            return CompareText(value, length, c);
        case Comparison::kInteger:
            return value != nullptr && CompareInteger(value, length, c);
        case Comparison::kFloat: {
            float left;
            return value != nullptr && ReadSingle(value, length, &left) &&
                   Holds(left, c.op, c.single);
        }
        default:
            return false;
    }
}

bool Compare(const RowObject *row, const CriteriaNode *node) {
    Comparison c;
    return BuildComparison(node, &c) && Judge(row, c);
}

// A prepared tree in one array: each entry is a comparison, or a logical node whose operands
// are entries further on.
struct PlanEntry {
    bool logical;
    unsigned char op;
    int left;
    int right;
    Comparison comparison;
};

int CountNodes(const CriteriaNode *node) {
    if (node == nullptr) return 0;
    return 1 + CountNodes(node->left) + CountNodes(node->right);
}

// Returns the entry's index, or -1 when memory runs out.
int Flatten(const CriteriaNode *node, PlanEntry *entries, int *used) {
    const int index = (*used)++;
    PlanEntry &entry = entries[index];
    entry = PlanEntry{};
    if (node->left != nullptr || node->right != nullptr) {
        entry.logical = true;
        entry.op = node->op;
        // A logical node always has both operands (the grammar makes no other).
        entry.left = node->left != nullptr ? Flatten(node->left, entries, used) : -1;
        if (node->left != nullptr && entry.left < 0) return -1;
        entry.right = node->right != nullptr ? Flatten(node->right, entries, used) : -1;
        if (node->right != nullptr && entry.right < 0) return -1;
        return index;
    }
    return BuildComparison(node, &entry.comparison) ? index : -1;
}

// Operands have no side effects, so stopping after the deciding one gives the same result as
// judging both.
bool Run(const RowObject *row, const PlanEntry *entries, int index) {
    if (index < 0) return true;
    const PlanEntry &entry = entries[index];
    if (!entry.logical) return Judge(row, entry.comparison);
    if (entry.op == CRITERIA_AND) {
        return Run(row, entries, entry.left) && Run(row, entries, entry.right);
    }
    if (entry.op == CRITERIA_OR) {
        return Run(row, entries, entry.left) || Run(row, entries, entry.right);
    }
    return false;
}

}  // namespace

extern "C" const void *const gv_criteriaLockKey = &criteriaLock;

CriteriaNode *NewComparisonNode(CriteriaParseState *state, char *columnName, unsigned char op,
                                char *literal) {
    CriteriaNode *node = static_cast<CriteriaNode *>(CriteriaAllocate(state, sizeof *node));
    if (node == nullptr) return nullptr;
    *node = CriteriaNode{};
    node->columnName = columnName;
    node->literal = literal;
    node->op = op;
    return node;
}

CriteriaNode *NewLogicalNode(CriteriaParseState *state, CriteriaNode *left, unsigned char op,
                             CriteriaNode *right) {
    CriteriaNode *node = static_cast<CriteriaNode *>(CriteriaAllocate(state, sizeof *node));
    if (node == nullptr) return nullptr;
    *node = CriteriaNode{};
    node->op = op;
    node->left = left;
    node->right = right;
    left->parent = node;
    right->parent = node;
    return node;
}

extern "C" {

int ResolveCriteriaColumns(Vector *columns, CriteriaNode *tree) {
    Bind(columns, tree);
    return 1;
}

// Both operands are always evaluated: a row is judged by the whole tree.
int EvaluateCriteria(const RowObject *row, const CriteriaNode *tree) {
    if (tree == nullptr) return 1;
    const int left = EvaluateCriteria(row, tree->left);
    const int right = EvaluateCriteria(row, tree->right);
    if (tree->left != nullptr || tree->right != nullptr) {
        if (tree->op == CRITERIA_AND) return left && right;
        if (tree->op == CRITERIA_OR) return left || right;
        return 0;
    }
    return Compare(row, tree) ? 1 : 0;
}

struct CriteriaPlan {
    int count;
    PlanEntry entries[1];
};

CriteriaPlan *PrepareCriteria(const CriteriaNode *tree) {
    const int count = CountNodes(tree);
    CriteriaPlan *plan = static_cast<CriteriaPlan *>(
        malloc(sizeof(CriteriaPlan) + sizeof(PlanEntry) * size_t(count > 0 ? count - 1 : 0)));
    if (plan == nullptr) return nullptr;
    plan->count = count;
    int used = 0;
    if (count > 0 && Flatten(tree, plan->entries, &used) < 0) {
        free(plan);
        return nullptr;
    }
    return plan;
}

int EvaluateCriteriaPlan(const RowObject *row, const CriteriaPlan *plan) {
    if (plan == nullptr || plan->count == 0) return 1;
    return Run(row, plan->entries, 0) ? 1 : 0;
}

void FreeCriteriaPlan(CriteriaPlan *plan) {
    free(plan);
}

// Recursion is bounded: the parser's stack limit keeps a tree a few thousand levels deep.
void FreeCriteriaTree(CriteriaNode *tree) {
    if (tree == nullptr) return;
    FreeCriteriaTree(tree->left);
    free(tree->columnName);
    free(tree->literal);
    FreeCriteriaTree(tree->right);
    free(tree);
}

}  // extern "C"
