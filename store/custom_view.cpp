// Custom view definitions and the views' TableData; see custom_view.h for the contract.
#include "store/custom_view.h"

#include <stdlib.h>

#include "logging/log.h"
#include "store/table_data.h"
#include "util/strings.h"

extern "C" {

CustomViewDefn *CreateCustomViewDefn(unsigned char baseTableCount, char **baseTableNames,
                                     Vector *columns) {
    LogTrace("@@@ Inside CreateCustomViewDefn @@@\n");
    CustomViewDefn *defn = static_cast<CustomViewDefn *>(calloc(1, sizeof(CustomViewDefn)));
    if (defn == nullptr) {
        LogError("Could not allocate memory for CustomViewDefn\n");
        return nullptr;
    }
    defn->baseTableCount = baseTableCount;
    defn->baseTableNames = baseTableNames;
    defn->columns = columns;
    return defn;
}

ViewColumnDefn *CreateViewColumnDefn(char *columnName, int value, unsigned char flag,
                                     ColumnDefn *columnDefn) {
    LogTrace("@@@ Inside CreateViewColumnDefn @@@\n");
    ViewColumnDefn *column = static_cast<ViewColumnDefn *>(calloc(1, sizeof(ViewColumnDefn)));
    if (column == nullptr) {
        LogError("Could not allocate memory for ViewColumnDefn\n");
        return nullptr;
    }
    column->columnName = columnName;
    column->value = value;
    column->flag = flag;
    column->columnDefn = columnDefn;
    return column;
}

int CreateCustomViewData(const char *viewName, CustomViewDefn *viewDefn) {
    LogTrace("@@@ Inside CreateCustomViewData @@@\n");
    if (viewName == nullptr || viewDefn == nullptr) return 0;
    if (GetTableDataByName(viewName) != nullptr) return 0;
    TableData *view = static_cast<TableData *>(calloc(1, sizeof(TableData)));
    if (view == nullptr) return 0;
    if (AllocCopyString(&view->name, viewName) != 1) {
        free(view);
        return 0;
    }
    view->kind = TABLE_DATA_VIEW;
    view->viewDefn = viewDefn;
    view->columnCount = viewDefn->columns != nullptr ? viewDefn->columns->count : 0;
    if (AddElementData(GetTableDataList(), view) != 1) {
        free(view->name);
        free(view);
        return 0;
    }
    return 1;
}

void FreeCustomViewDefn(CustomViewDefn *viewDefn) {
    LogTrace("@@@ Inside FreeCustomViewDefn @@@\n");
    if (viewDefn == nullptr) return;
    if (viewDefn->columns != nullptr) {
        for (VectorNode *node = viewDefn->columns->head; node != nullptr; node = node->next) {
            free(node->element);
        }
        FreeVector(viewDefn->columns);
        free(viewDefn->columns);
        viewDefn->columns = nullptr;
    }
    if (viewDefn->baseTableNames != nullptr) {
        for (int i = 0; i < viewDefn->baseTableCount; ++i) free(viewDefn->baseTableNames[i]);
        free(viewDefn->baseTableNames);
        viewDefn->baseTableNames = nullptr;
    }
}

}  // extern "C"
