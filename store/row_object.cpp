// Row records; see row_object.h for the contract.
#include "store/row_object.h"

#include <stdlib.h>

#include "logging/log.h"

extern "C" {

RowObject *CreateNewRowObject(void **values, int *lengths) {
    LogTrace("@@@ Inside CreateNewRowObject @@@\n");
    RowObject *row = static_cast<RowObject *>(calloc(1, sizeof(RowObject)));
    if (row == nullptr) return nullptr;
    row->values = values;
    row->lengths = lengths;
    row->state = ROW_STATE_NEW;
    row->next = nullptr;
    return row;
}

void FreeRowObject(RowObject *row, int columnCount) {
    LogTrace("@@@ Inside FreeRowObject @@@\n");
    if (row == nullptr) return;
    if (row->values != nullptr) {
        for (int i = 0; i < columnCount; ++i) free(row->values[i]);
    }
    free(row->values);
    free(row->lengths);
    free(row);
}

}  // extern "C"
