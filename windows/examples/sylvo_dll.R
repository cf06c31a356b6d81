# Calling the 64-bit Sylvo DLLs from R on Windows (R 4.2 and later are 64-bit
# only: the x64 folder). The exports take doubles by value, which R's .C
# cannot pass, so the route is the R package sylvo (install.packages on the
# source tarball, see the R install page), whose functions give the same
# values through the batch engine. For the DLLs themselves, without the
# package, a few lines of C compiled with R CMD SHLIB bridge .C to them:
#
#   /* sylvo_bridge.c */
#   #include <windows.h>
#   typedef double (*fn3)(double, double, double);
#   void sylvo_height(char** dll, double* t, double* s, double* u, int* n, double* out) {
#       HMODULE m = LoadLibraryA(dll[0]);
#       fn3 f = (fn3)GetProcAddress(m, "SylvoHeight");
#       for (int i = 0; i < *n; ++i) out[i] = f(t[i], s[i], u[i]);
#   }
#
#   R CMD SHLIB sylvo_bridge.c
dll_dir <- "C:/Sylvo/x64"
dyn.load("sylvo_bridge.dll")
ages <- c(20, 40, 60)
heights <- .C("sylvo_height", file.path(dll_dir, "sylvoa.dll"), as.double(ages), rep(24, 3), rep(0, 3),
              length(ages), out = double(length(ages)))$out
print(data.frame(age = ages, height_m = heights))
# With the package instead: library(sylvo); sylvo_height("a", ages, 24, 0)
