/*
 * `tamber personality NAME [CRITERIA-TABLE CRITERIA]`: reads the personality files that the
 * data folder's personalities.txt lists (one file name a line, relative to the data folder;
 * blank lines and lines starting with "#" are skipped), then prints the personality's data
 * object as PrintDataObject lists it: every row of its dominant table with the rows of its
 * constituents, or those where the criteria, written against CRITERIA-TABLE (one of the
 * personality's tables), hold.
 *
 * Runs in the data folder with the library started. Returns 0, or 1 after a one-line message
 * on standard error. The personalities stay registered until DeInitTamber.
 */
#ifndef KV_TAMBER_PERSONALITY_COMMAND_H
#define KV_TAMBER_PERSONALITY_COMMAND_H

#include <string>

// The list of personality files, in the data folder.
constexpr const char kPersonalityList[] = "personalities.txt";

int PersonalityCommand(const std::string &name, const char *criteriaTable, const char *criteria);

#endif  // KV_TAMBER_PERSONALITY_COMMAND_H
