// A stand-in for gpupdate.exe: appends its arguments as one line to the file named by
// KVTEST_GPUPDATE_CALLS and prints them, so a test sees both that the refresh ran and what
// reached the console.
#include <stdio.h>
#include <stdlib.h>

#include <string>

int main(int argc, char **argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) line += (i > 1 ? " " : "") + std::string(argv[i]);
    if (const char *calls = getenv("KVTEST_GPUPDATE_CALLS")) {
        if (FILE *f = fopen(calls, "a")) {
            fprintf(f, "%s\n", line.c_str());
            fclose(f);
        }
    }
    printf("%s\n", line.c_str());
    return 0;
}
