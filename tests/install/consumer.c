/* A host built against an installed Sylvo: the engine's C interface and one
 * model library, linked as any other libraries. */
#include <stdio.h>

#include "sylvo.h"
#include "sylvo_engine.h"

int main(void)
{
    double t1 = 10, t2 = 40, trees = 1500, ba = 12, n = 0, b = 0;
    double export_n = trees, export_b = ba;
    if (sylvo_grow_batch(SYLVO_MODEL_A, 1, &t1, &t2, &trees, &ba, &n, &b, NULL) != SYLVO_OK) return 1;
    SylvoGrow(t1, t2, &export_n, &export_b);
    printf("engine %.17g %.17g, export %.17g %.17g, version %g\n", n, b, export_n, export_b, SylvoVersion());
    return n == export_n && b == export_b && SylvoVersion() == sylvo_model_version(SYLVO_MODEL_A) ? 0 : 1;
}
