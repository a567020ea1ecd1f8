/*
 * Text renderings of tables, views and results for diagnostics: a header line of every
 * column name followed by a tab, then one line per row of every value's text followed by a
 * tab. Values render by their column's type ("NULL" for SQL NULL; the types without a text
 * form, 4, 8, 11, 12, 13, 20 and 21, render nothing, not even the tab); a date or time value
 * renders by its stored form. Texts are never cut: a rendering grows as long as it needs.
 *
 * The Print functions log the rendering at debug level; PrintResultData leaves out rows
 * marked deleted. The ToString functions return new text (free()) and log it at trace
 * level; null when the table is unknown or has no columns, or memory runs out.
 *
 * No lock: the table must not change while it is rendered.
 */
#ifndef KV_STORE_ROW_RENDER_H
#define KV_STORE_ROW_RENDER_H

#include "store/result_data.h"

#ifdef __cplusplus
extern "C" {
#endif

void PrintTableData(const char *tableName);
void PrintCustomViewData(const char *viewName);
void PrintResultData(ResultData *result);
char *ToStringTableData(const char *tableName);
char *ToStringCustomViewData(const char *viewName);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_ROW_RENDER_H */
