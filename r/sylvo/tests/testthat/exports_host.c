/* Calls one export of one loaded model library for every line of standard
 * input and prints the result exactly: the reference the package's values
 * are compared with. Usage: exports_host LIBRARY FUNCTION < lines, each line
 * the arguments as C99 hexadecimal floats; output one line per input line
 * (two values for grow), hexadecimal, or NaN, Inf, -Inf.
 * exports_host - parse: reads one decimal number a line to the nearest
 * double (the C library's strtod) and prints it the same way; an empty line
 * gives NA. */
#include <dlfcn.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef double (*Fn3)(double, double, double);
typedef double (*Fn4)(double, double, double, double);
typedef void (*GrowFn)(double, double, double*, double*);

static void put(double x)
{
    if (isnan(x)) fputs("NaN", stdout);
    else if (isinf(x)) fputs(x > 0 ? "Inf" : "-Inf", stdout);
    else printf("%a", x);
}

int main(int argc, char** argv)
{
    if (argc != 3) { fprintf(stderr, "usage: exports_host LIBRARY FUNCTION\n"); return 2; }
    if (strcmp(argv[2], "parse") == 0) {
        char text[256];
        while (fgets(text, sizeof text, stdin)) {
            text[strcspn(text, "\r\n")] = 0;
            char* end;
            double x = strtod(text, &end);
            if (text[0] == 0) fputs("NA", stdout);
            else if (*end != 0) { fprintf(stderr, "not a number: %s\n", text); return 2; }
            else put(x);
            putchar('\n');
        }
        return 0;
    }
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) { fprintf(stderr, "%s\n", dlerror()); return 2; }
    static const struct { const char* fn; const char* symbol; int args; } table[] = {
        {"grow", "SylvoGrow", 4},        {"height", "SylvoHeight", 3},     {"site", "SylvoSite", 3},
        {"age", "SylvoAge", 3},          {"volume", "SylvoVolume", 3},     {"merch_volume", "SylvoMerchVol", 4},
        {"ba_after", "SylvoBaAfter", 4}, {"tph_after", "SylvoTphAfter", 4}, {"version", "SylvoVersion", 0},
    };
    int k = -1;
    for (int i = 0; i < (int)(sizeof table / sizeof table[0]); ++i)
        if (strcmp(argv[2], table[i].fn) == 0) k = i;
    if (k < 0) { fprintf(stderr, "unknown function %s\n", argv[2]); return 2; }
    void* f = dlsym(lib, table[k].symbol);
    if (!f) { fprintf(stderr, "%s\n", dlerror()); return 2; }
    if (table[k].args == 0) {
        put(((double (*)(void))f)());
        putchar('\n');
        return 0;
    }
    char line[1024];
    while (fgets(line, sizeof line, stdin)) {
        double a[4];
        char* p = line;
        for (int i = 0; i < table[k].args; ++i) {
            char* end;
            a[i] = strtod(p, &end);
            if (end == p) { fprintf(stderr, "bad line: %s", line); return 2; }
            p = end;
        }
        if (k == 0) {
            double n = a[2], b = a[3];
            ((GrowFn)f)(a[0], a[1], &n, &b);
            put(n);
            putchar(' ');
            put(b);
        } else if (table[k].args == 3) {
            put(((Fn3)f)(a[0], a[1], a[2]));
        } else {
            put(((Fn4)f)(a[0], a[1], a[2], a[3]));
        }
        putchar('\n');
    }
    return 0;
}
