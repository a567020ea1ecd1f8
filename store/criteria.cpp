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

// Integers are read at the width they were stored with: a row may hold a 4-byte value in a
// narrower or wider column (generated ids are always 4 bytes), and reading the column's own
// width would read the wrong bytes or past the value.
bool CompareIntegers(const void *value, int length, const void *literal, int literalLength,
                     unsigned char type, unsigned char op) {
    if (!IsStoredIntegerWidth(length) || !IsStoredIntegerWidth(literalLength)) return false;
    long long left = ReadStoredInteger(value, length, type);
    long long right = ReadStoredInteger(literal, literalLength, type);
    if (type == VEL_SQL_UNSIGNED_TINYINT || type == VEL_SQL_UNSIGNED_SMALLINT ||
        type == VEL_SQL_UNSIGNED_INT) {
        return Holds(static_cast<unsigned long long>(left), op,
                     static_cast<unsigned long long>(right));
    }
    return Holds(left, op, right);
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

// Byte by byte, case-sensitively, a shorter text before any longer one it begins. A null
// value comes before every text. Only a quoted literal loses its quotes: a number written
// bare is compared as written.
bool CompareTexts(const void *value, int length, const char *literal, unsigned char op) {
    size_t literalLength = strlen(literal);
    if (literalLength >= 2 && literal[0] == '\'' && literal[literalLength - 1] == '\'') {
        ++literal;
        literalLength -= 2;
    }
    if (value == nullptr) return Holds(0, op, 1);
    const char *text = static_cast<const char *>(value);
    size_t textLength = length > 0 ? strnlen(text, size_t(length)) : 0;
    size_t common = textLength < literalLength ? textLength : literalLength;
    int order = memcmp(text, literal, common);
    if (order == 0) order = (textLength > literalLength) - (textLength < literalLength);
    return Holds(order, op, 0);
}

bool Compare(const RowObject *row, const CriteriaNode *node) {
    const unsigned char type = node->columnType;
    if (row == nullptr || row->values == nullptr || row->lengths == nullptr ||
        node->literal == nullptr) {
        return false;
    }
    const void *value = row->values[node->columnIndex];
    const int length = row->lengths[node->columnIndex];
    if (type == VEL_SQL_CHAR || type == VEL_SQL_VARCHAR || type == VEL_SQL_TEXT) {
        return CompareTexts(value, length, node->literal, node->op);
    }
    const bool integer = type >= VEL_SQL_TINYINT && type <= VEL_SQL_BIGINT;
    // Other types (wide unsigned, double, real, decimal, date and time, boolean, blobs, and 0
    // for an unbound column) match nothing; so does a NULL value, whatever the operator.
    if ((!integer && type != VEL_SQL_FLOAT) || value == nullptr) return false;

    int literalLength = int(strlen(node->literal));
    void *converted = ConvertStringToColumnValue(node->literal, &literalLength, type);
    if (converted == nullptr) return false;
    bool holds = false;
    if (integer) {
        holds = CompareIntegers(value, length, converted, literalLength, type, node->op);
    } else {
        float left, right;
        holds = ReadSingle(value, length, &left) && ReadSingle(converted, literalLength, &right) &&
                Holds(left, node->op, right);
    }
    free(converted);
    return holds;
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
