/* The interface-level entry point a MATLAB host looks for beside
 * mexFunction: large-array builds name the release and the array-interface
 * level they were built for, 32-bit builds report the classic marker. */
#if defined(_WIN32)
#define LASSOWAVE_EXPORT __declspec(dllexport)
#else
#define LASSOWAVE_EXPORT __attribute__((visibility("default")))
#endif

#if defined(MX_COMPAT_32)
LASSOWAVE_EXPORT const char *mexVersion(void) { return "MATLAB R14 native"; }
#else
LASSOWAVE_EXPORT void mexfilerequiredapiversion(unsigned int *built_by_release,
                                                unsigned int *target_api_version) {
  *built_by_release = 131482u;
  *target_api_version = 0x07300000u;
}
#endif
