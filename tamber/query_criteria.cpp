// Criteria texts as select criteria; see query_criteria.h for the contract.
#include "tamber/query_criteria.h"

#include <stdlib.h>
#include <string.h>

#include "store/column_defn.h"
#include "store/criteria.h"
#include "util/lock.h"
#include "util/strings.h"

namespace {

ColumnDefn *ColumnAt(const TableDefn *defn, int index) {
    VectorNode *n = defn->columns->head;
    for (int i = 0; n != nullptr && i < index; ++i) n = n->next;
    return n != nullptr ? static_cast<ColumnDefn *>(n->element) : nullptr;
}

// A quoted literal without its quotes (the language allows no quote inside one).
std::string LiteralText(const char *literal) {
    std::string text = literal;
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

// An optional sign, then digits (with one "." unless integer).
bool ReadsAsNumber(const std::string &text, bool integer) {
    const size_t sign = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (sign == text.size()) return false;
    const char *digits = text.c_str() + sign;
    const int n = int(text.size() - sign);
    return integer ? IsInteger(digits, n) == 1 : IsDecimal(digits, n) == 1;
}

QueryCriterion *Leaf(const CriteriaNode *node, const TableDefn *defn, apr_pool_t *pool,
                     std::string *error) {
    ColumnDefn *column = node->columnType != 0 ? ColumnAt(defn, node->columnIndex) : nullptr;
    if (column == nullptr) {
        *error = std::string("column ") + node->columnName + " is not a column of " + defn->name;
        return nullptr;
    }
    const std::string text = LiteralText(node->literal);
    const unsigned char type = column->dataType;
    // Dates and times go as their text: the stored form holds pointers that a criterion's
    // byte copy would not carry.
    const bool asText = type == VEL_SQL_DATE || type == VEL_SQL_TIME || type == VEL_SQL_DATETIME;
    // The conversion reads what it can of a number; a literal that is not one is refused
    // rather than compared as whatever part of it was read.
    const bool integer = type >= VEL_SQL_TINYINT && type <= VEL_SQL_UNSIGNED_LONG_INT;
    const bool numeric = integer || (type >= VEL_SQL_FLOAT && type <= VEL_SQL_NUMERIC);
    const bool number = !numeric || ReadsAsNumber(text, integer);
    int length = int(text.size());
    void *value =
        asText || !number ? nullptr : ConvertStringToColumnValue(text.c_str(), &length, type);
    if (!asText && value == nullptr) {
        *error = "'" + text + "' is not a value of " + defn->name + "." + column->name;
        return nullptr;
    }
    QueryCriterion *leaf = CreateCriterion(
        CreateSelectColumn(defn->name, nullptr, column->name, nullptr, 0, type, 0, pool),
        asText ? text.c_str() : value, length, node->op, pool);
    free(value);
    if (leaf == nullptr) *error = "out of memory";
    return leaf;
}

QueryCriterion *Convert(const CriteriaNode *node, const TableDefn *defn, apr_pool_t *pool,
                        std::string *error) {
    if (node->columnName != nullptr) return Leaf(node, defn, pool, error);
    QueryCriterion *left = Convert(node->left, defn, pool, error);
    QueryCriterion *right = left != nullptr ? Convert(node->right, defn, pool, error) : nullptr;
    if (right == nullptr) return nullptr;
    QueryCriterion *both =
        node->op == CRITERIA_OR ? CriteriaOr(left, right, pool) : CriteriaAnd(left, right, pool);
    if (both == nullptr) *error = "out of memory";
    return both;
}

}  // namespace

QueryCriterion *QueryCriteriaFromText(const char *tableName, const char *text, apr_pool_t *pool,
                                      std::string *error) {
    TableDefn *defn = tableName != nullptr ? GetTableDefn(tableName) : nullptr;
    if (defn == nullptr) {
        *error = std::string("no table ") + (tableName != nullptr ? tableName : "") +
                 " in the data dictionary";
        return nullptr;
    }
    ObjectLock lock(gv_criteriaLockKey);
    CriteriaNode *tree = ParseCriteria(text);
    if (tree == nullptr) {
        *error = "the criteria do not parse";
        return nullptr;
    }
    ResolveCriteriaColumns(defn->columns, tree);
    QueryCriterion *criteria = Convert(tree, defn, pool, error);
    FreeCriteriaTree(tree);
    return criteria;
}
