/* A library with twelve of the thirteen Sylvo exports (no SylvoVolume): the
 * tool must refuse it and name the missing export. */
#include <stdint.h>

#define EXPORT __attribute__((visibility("default")))

EXPORT int32_t LibMain(void* m, uint32_t r, void* x) { (void)m; (void)r; (void)x; return 1; }
EXPORT double SylvoVersion(void) { return 1.1; }
EXPORT double SylvoGrowTph(double a, double b, double c, double d) { return a + b + c + d; }
EXPORT double SylvoGrowBa(double a, double b, double c, double d) { return a + b + c + d; }
EXPORT void SylvoGrow(double a, double b, double* n, double* ba) { *n = a; *ba = b; }
EXPORT double SylvoMerchVol(double a, double b, double c, double d) { return a + b + c + d; }
EXPORT double SylvoBaAfter(double a, double b, double c, double d) { return a + b + c + d; }
EXPORT double SylvoTphAfter(double a, double b, double c, double d) { return a + b + c + d; }
EXPORT double SylvoSite(double a, double b, double c) { return a + b + c; }
EXPORT double SylvoGain(double a, double b, double c) { return a + b + c; }
EXPORT double SylvoHeight(double a, double b, double c) { return a + b + c; }
EXPORT double SylvoAge(double a, double b, double c) { return a + b + c; }
