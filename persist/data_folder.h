/*
 * The data folder's plain-text list files as the persistence layer reads them: where a file is
 * looked for and how its lines are read.
 *
 * A list file is looked for first as "..\data\<name>" from the working folder (when the caller
 * asks for that try; the platform layer turns the "\" into the native separator), then as
 * "<root>/data/<name>" under gv_rootPath, logging "Opening %s\n" at debug level before that
 * second try. Paths and lines have no length limit: they grow as needed.
 *
 * The stream returned is the caller's (fclose). No state, no lock.
 */
#ifndef KV_PERSIST_DATA_FOLDER_H
#define KV_PERSIST_DATA_FOLDER_H

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The first try's folder, as the described code writes it. */
#define DATA_FOLDER_RELATIVE "..\\data\\"

/* Opens the named list file for reading; null when no place holds it. *openedRelative (may be
 * null) tells whether the first try opened it. */
FILE *OpenDataFolderFile(const char *fileName, int tryRelative, int *openedRelative);

#ifdef __cplusplus
}

#include <string>

/* "<root>/data/<name>" under gv_rootPath; empty while no root is set. */
std::string RootDataPath(const char *fileName);
/* Reads the next line without its line feed, and without a carriage return before it, as a
 * Windows text-mode stream delivers it. False at the end of the file when nothing was read. */
bool ReadDataLine(FILE *file, std::string *line);
#endif

#endif /* KV_PERSIST_DATA_FOLDER_H */
