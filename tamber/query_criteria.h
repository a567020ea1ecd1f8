/*
 * A criteria text of the store's criteria language (store/criteria.h, as `tamber select`
 * takes it) turned into a select query's criteria tree (db/select_query.h) over one table:
 * each comparison names a column of that table (matched ignoring case) and a literal that
 * must be a value of the column's type.
 *
 * Ownership: the tree and its parts live in the pool given. Parsing takes the global
 * criteria lock for its run. Null on failure, with *error saying what is wrong in words for
 * the person who typed the text.
 */
#ifndef KV_TAMBER_QUERY_CRITERIA_H
#define KV_TAMBER_QUERY_CRITERIA_H

#include <string>

#include "db/select_query.h"

QueryCriterion *QueryCriteriaFromText(const char *tableName, const char *text, apr_pool_t *pool,
                                      std::string *error);

#endif  // KV_TAMBER_QUERY_CRITERIA_H
