/*
 * Running a command line and waiting for it, the way the C runtime's system() hands a
 * command such as "gpupdate/force" to the Windows command interpreter: the program name is
 * the text before the first "/" or blank, looked up on PATH (never in the current folder),
 * and the rest are its arguments. The program shares the caller's console. On Windows the
 * program found is run through the C runtime's system().
 */
#ifndef KV_PLATFORM_PROCESS_H
#define KV_PLATFORM_PROCESS_H

#ifdef __cplusplus
extern "C" {
#endif

/* The program's exit code, or -1 when no program was found or it could not be started. */
int PlatRunCommandLine(const char *commandLine);

#ifdef __cplusplus
}
#endif

#endif /* KV_PLATFORM_PROCESS_H */
